#pragma once

#include "settings/IniFile.h"

#include <QList>
#include <QString>

// The program's settings file and the three operations the windows use on it.
namespace trivex::settings {

inline const QString kFileName = QStringLiteral("trivex.ini");

// The folder of the running executable, ending in exactly one path separator.
QString AppFolder();

// The separator rule of AppFolder on any folder: a root already ends in one.
QString withTrailingSeparator(const QString& folder);

// Where the settings of a program in appFolder live: a settings file already beside the
// program, or a new one there when the folder can be written and is not the shared "bin"
// folder of an installed program; otherwise the per-user configuration folder under configHome.
QString chooseSettingsFile(const QString& appFolder, const QString& configHome);

// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config.
QString userConfigHome();

// Fixes the file used by every ReadINI and WriteINI of this run. Start-up calls it once with
// the chosen location (TRIVEX_INI in the environment names a file directly, for scripts and
// tests); without a call the location is chosen on first use.
void useSettingsFile(const QString& path);
QString settingsFile();

// The value text of key in section, or the empty string.
QString ReadINI(const QString& section, const QString& key);

// Stores value under key in section. A failed write is reported on stderr and returns false;
// lastWriteError() then says why.
bool WriteINI(const QString& section, const QString& key, const QString& value);
// Several keys in one rewrite of the file, in the order given; all are stored or none.
bool WriteINI(const QList<IniEntry>& entries);
const QString& lastWriteError();

// Why the settings file cannot be read (it then reads as empty and is never written); empty
// for a readable or a missing file.
QString settingsFileProblem();

} // namespace trivex::settings
