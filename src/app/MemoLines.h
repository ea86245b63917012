#pragma once

#include <QString>
#include <QStringList>

class QPlainTextEdit;

// The lines of a list memo as the monitor counts them: a final line break does not make an empty last
// line, and a line past the end reads as empty. Rewrites by the program keep the memo's modified mark
// as it was, so that only the operator's own changes make leaving the memo write its file.
//
// A locked memo that is not on screen takes the program's rewrites without laying out any text: they
// are kept beside the memo, read back from there, and go into its text in one step when the memo is
// shown or unlocked, or when its text is read whole (flush). On screen, or unlocked, each rewrite
// goes into the text at once, as one change. Whoever changes the memo's text by other means than
// these functions replaces whatever rewrites were still kept.
namespace MemoLines {

int count(const QPlainTextEdit* memo);
QString line(const QPlainTextEdit* memo, int index);
QStringList lines(const QPlainTextEdit* memo);
void setLine(QPlainTextEdit* memo, int index, const QString& text);
// Puts every kept rewrite into the memo's text, as one change; nothing when none is kept.
void flush(QPlainTextEdit* memo);
// Whether the memo's text ends in a line break (which does not count as an empty last line).
bool hasFinalBreak(const QPlainTextEdit* memo);
// Replaces every line; the text ends in a line break when finalBreak is set or the last line is blank.
void setLines(QPlainTextEdit* memo, const QStringList& lines, bool finalBreak);
// The line that holds the text caret (the caret line); with a selection, the line where it starts.
int caretLine(const QPlainTextEdit* memo);

} // namespace MemoLines
