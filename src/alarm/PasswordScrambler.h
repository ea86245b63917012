#pragma once

#include <QString>

#include <optional>

// The mail password is stored in Para.ini in a scrambled form: two hexadecimal digits of a random
// start value, then two digits per password byte (GBK). Existing stations store their passwords
// this way, so the algorithm, including its use of only the first key character when no key is
// given, must stay exactly as it is.
namespace PasswordScrambler {

inline constexpr char kDefaultKey[] = "Zeldrick#Vamoqtx";
inline constexpr char kDefaultPassword[] = "quillmoss";

// ScramblePassword. With no key the default key is used with length 0 (only its first byte counts).
// randomStart fixes the first value (0..255) for tests; otherwise it is drawn at random.
QString scramble(const QString& plain, const std::optional<QString>& key = std::nullopt,
                 std::optional<int> randomStart = std::nullopt);

// UnscramblePassword: the plain text, or empty when the form is empty or not valid.
QString unscramble(const QString& scrambled, const std::optional<QString>& key = std::nullopt);

} // namespace PasswordScrambler
