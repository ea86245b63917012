#pragma once

#include <QString>

#include <optional>

// One history file per entry key. The name keeps the key's letters, digits, "-", "_" and "." and
// writes every other byte of its UTF-8 form as "%" and two hex digits, so that any key (Chinese,
// ":", "/", blanks) gives a name that every file system takes and that reads back as the same key.
namespace HistoryFileName {

inline constexpr const char* kSuffix = ".rrd";

QString fromKey(const QString& key);

// The key of a name made by fromKey; nullopt for any other name (and for the shortened names of
// keys too long for a file name, which cannot be read back).
std::optional<QString> toKey(const QString& fileName);

} // namespace HistoryFileName
