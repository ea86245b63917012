#include "records/PaneFiles.h"

#include "platform/TextFile.h"
#include "records/InfoPane.h"
#include "shared/TextSplit.h"
#include "shared/TimeStamp.h"

#include <QDir>
#include <QFileInfo>

namespace PaneFiles {

namespace {

// prefix + file time stamp + ".txt" of the first second from now whose name is not taken yet.
QString freeFilePath(const QString& folder, const QString& prefix, const QDateTime& now)
{
    const QDir dir(folder);
    for (QDateTime at = now;; at = at.addSecs(1)) {
        const QString path = dir.filePath(prefix + TimeStamp::fileStamp(at) + QStringLiteral(".txt"));
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return path;
    }
}

} // namespace

QString logFilePath(const QString& folder, const QDateTime& now)
{
    return freeFilePath(folder, QStringLiteral("log"), now);
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
    return freeFilePath(folder, QStringLiteral("rep") + reportAddress(caretLine), now);
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
