#pragma once

#include "alarm/SubjectCharset.h"

#include <QByteArray>

// Header texts that are not plain ASCII travel as encoded words: "=?charset?method?data?=".
namespace EncodedWords {

// Longest encoded word, opening and closing included, and longest line of a header that holds one.
inline constexpr int kWordLimit = 75;
inline constexpr int kLineLimit = 76;

// Encodes the words of a header text (bytes in the charset's code page) that hold a byte below 0x20
// or from 0x7F up. A word is a run of blanks (space, tab, CR, LF) and then a run of other bytes.
// Consecutive words that need encoding form one run, their blanks inside it; the blanks before a run
// stay outside. A run longer than one word allows continues after CR LF TAB in a new word; every
// word holds whole characters. The text starts at the given column of its line (after "Subject: "),
// and the first word of a run is cut short so that its line stays within 76 characters.
QByteArray encode(QByteArrayView text, const SubjectCharset& charset, qsizetype column = 0);

// Encodes a display name as one run, all of it: plain words beside encoded ones would leave their
// specials (a comma, a quote mark) to the reader's address parser, which then sees two mailboxes.
QByteArray encodePhrase(QByteArrayView text, const SubjectCharset& charset, qsizetype column = 0);

// The data part of the "Q" method for a whole run of a header text, without the word limit.
QByteArray qData(QByteArrayView bytes);

} // namespace EncodedWords
