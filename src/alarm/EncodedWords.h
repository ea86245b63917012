#pragma once

#include "alarm/SubjectCharset.h"

#include <QByteArray>

// Header texts that are not plain ASCII travel as encoded words: "=?charset?method?data?=".
namespace EncodedWords {

// Longest encoded word, opening and closing included.
inline constexpr int kWordLimit = 75;

// Encodes the words of a header text (bytes in the charset's code page) that hold a byte below 0x20
// or from 0x7F up. A word is a run of blanks (space, tab, CR, LF) and then a run of other bytes.
// Consecutive words that need encoding form one run, their blanks inside it; the blanks before a run
// stay outside. A run longer than one word allows continues after CR LF TAB in a new word.
QByteArray encode(QByteArrayView text, const SubjectCharset& charset);

// The data part of the "B" and "Q" methods for a whole run, without the word limit (for tests and
// for the splitting above).
QByteArray qData(QByteArrayView bytes);

} // namespace EncodedWords
