#pragma once

#include <QDateTime>
#include <QString>

class InfoPane;
class LineStore;

// The log and report files written from the panes: GBK, every line followed by CR LF, no BOM, in the
// program's folder, named "log" / "rep" + address + "YYYYMMDDHHMMSS" + ".txt".
namespace PaneFiles {

// The path of a new log file: named after now, or after the next second whose name is still free,
// so that a second save within one second never overwrites the first.
QString logFilePath(const QString& folder, const QDateTime& now);

// The address part of a report file name: the caret line's text before its first ":", trimmed
// (the whole line without ":"). Characters that cannot stand in a file name become "_", so that a
// line can never name a file outside the program's folder.
QString reportAddress(const QString& caretLine);
// The path of a new report file, free in the same way.
QString reportFilePath(const QString& folder, const QString& caretLine, const QDateTime& now);

// Writes the lines, replacing a file of the same name. Raises AppError with the system's reason.
void write(const QString& path, const LineStore& lines);

// Save and clear (tbSaveClearClick): a report on display is written to a report file named after the
// caret line and the report pane is emptied; otherwise the information pane goes to a log file and is
// emptied. The file is complete before the pane is cleared; on failure nothing is cleared.
// Returns the path written.
QString saveAndClear(InfoPane& pane, const QString& folder, const QString& caretLine, const QDateTime& now);

} // namespace PaneFiles
