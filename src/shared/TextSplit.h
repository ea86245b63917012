#pragma once

#include <QString>

#include <optional>

// The split helpers that every list line and setting binding is read with. The separator is a
// single-byte character such as ',', '=', ':' or '%'.
namespace TextSplit {

// Removes leading and trailing characters with codes up to 32 (blanks and control characters).
QString trimmed(const QString& text);

// The text before the first separator, trimmed; the whole text unchanged when there is none.
QString leftPart(const QString& text, QChar separator);

// The text after the first separator, trimmed; empty when there is none.
QString rightPart(const QString& text, QChar separator);

// Integer value of a text as the monitor reads numbers in settings and lists: optional blanks,
// an optional sign and decimal digits; anything else is "not a number".
std::optional<int> toInt(const QString& text);

} // namespace TextSplit
