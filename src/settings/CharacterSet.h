#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// A character-set file: the 64 bitmap cells of the eight custom characters, in the settings
// file's own form (section "LCD", keys "Custom1" to "Custom64"), so that a saved set can be
// pasted into the settings file as a prepared set.
namespace trivex::settings {

using CharacterSet = std::array<std::uint8_t, 64>;

// The set a file holds; no value, and *why naming the first key that is missing or holds no
// byte (or why the file is no set at all), for anything else.
std::optional<CharacterSet> readCharacterSet(const QString& path, QString* why);

// Writes the set to path, replacing what is there; empty on success, otherwise why not.
QString writeCharacterSet(const QString& path, const CharacterSet& set);

} // namespace trivex::settings
