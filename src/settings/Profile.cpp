#include "settings/Profile.h"

#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

namespace trivex::settings {

namespace {

QString& chosenFile() {
    static QString path;
    return path;
}

QString& writeError() {
    static QString error;
    return error;
}

// Whether a file can be created in folder, found out by creating one: permission bits alone
// say nothing for root or on a read-only mount.
bool isWritableFolder(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral(".trivex-probe-XXXXXX"));
    return probe.open();
}

} // namespace

QString withTrailingSeparator(const QString& folder) {
    if (folder.endsWith(QLatin1Char('/'))) {
        return folder;
    }
    return folder + QLatin1Char('/');
}

QString AppFolder() {
    return withTrailingSeparator(QCoreApplication::applicationDirPath());
}

QString userConfigHome() {
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) {
        return xdg;
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

QString chooseSettingsFile(const QString& appFolder, const QString& configHome) {
    const QString folder = withTrailingSeparator(appFolder);
    const QString beside = folder + kFileName;
    const bool installed = QDir(folder).dirName() == QLatin1String("bin");
    if (QFileInfo(beside).exists() || QFileInfo(beside).isSymLink() ||
        (!installed && isWritableFolder(folder))) {
        return beside;
    }
    return withTrailingSeparator(configHome) + QStringLiteral("trivex/") + kFileName;
}

void useSettingsFile(const QString& path) {
    chosenFile() = path;
}

QString settingsFile() {
    if (chosenFile().isEmpty()) {
        const QString forced = qEnvironmentVariable("TRIVEX_INI");
        chosenFile() = forced.isEmpty() ? chooseSettingsFile(AppFolder(), userConfigHome()) : forced;
    }
    return chosenFile();
}

QString ReadINI(const QString& section, const QString& key) {
    return IniFile(settingsFile()).read(section, key);
}

const QString& lastWriteError() {
    return writeError();
}

bool WriteINI(const QString& section, const QString& key, const QString& value) {
    return WriteINI({{section, key, value}});
}

bool WriteINI(const QList<IniEntry>& entries) {
    const QString path = settingsFile();
    const QString folder = QFileInfo(path).absolutePath();
    IniFile file(path);
    if (!QDir().mkpath(folder)) {
        writeError() = QStringLiteral("the folder %1 cannot be created").arg(folder);
    } else if (!file.write(entries)) {
        writeError() = file.errorString();
    } else {
        return true;
    }
    QStringList keys;
    for (const IniEntry& entry : entries) {
        keys << QStringLiteral("%1=%2").arg(entry.key, entry.value);
    }
    std::fprintf(stderr, "trivex: cannot write %s to %s: %s\n", qPrintable(keys.join(QStringLiteral(", "))),
                 qPrintable(path), qPrintable(writeError()));
    return false;
}

QString settingsFileProblem() {
    return IniFile(settingsFile()).readProblem();
}

} // namespace trivex::settings
