#include "records/PaneFiles.h"

#include "monitor/TextSplit.h"
#include "platform/TextFile.h"
#include "records/InfoPane.h"
#include "records/TimeStamp.h"

#include <QDir>

namespace PaneFiles {

QString logFilePath(const QString& folder, const QDateTime& now)
{
    return QDir(folder).filePath(QStringLiteral("log") + TimeStamp::fileStamp(now) + QStringLiteral(".txt"));
}

QString reportAddress(const QString& caretLine)
{
    QString address = TextSplit::leftPart(caretLine, u':');
    for (QChar& c : address) {
        if (c == u'/' || c == u'\\' || c.unicode() < 32 || QStringLiteral("<>:\"|?*").contains(c))
            c = u'_';
    }
    return address;
}

QString reportFilePath(const QString& folder, const QString& caretLine, const QDateTime& now)
{
    return QDir(folder).filePath(QStringLiteral("rep") + reportAddress(caretLine) + TimeStamp::fileStamp(now) +
                                 QStringLiteral(".txt"));
}

void write(const QString& path, const LineStore& lines)
{
    TextFile::writeBytes(path, lines.toGbkFile());
}

QString saveAndClear(InfoPane& pane, const QString& folder, const QString& caretLine, const QDateTime& now)
{
    if (pane.reportShown()) {
        const QString path = reportFilePath(folder, caretLine, now);
        write(path, pane.report());
        pane.report().clear();
        return path;
    }
    const QString path = logFilePath(folder, now);
    write(path, pane.info());
    pane.info().clear();
    return path;
}

} // namespace PaneFiles
