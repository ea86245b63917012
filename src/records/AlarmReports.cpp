#include "records/AlarmReports.h"

#include "platform/CodePage.h"
#include "records/ReportLineScanner.h"

#include <QDir>
#include <QDirIterator>
#include <QStringDecoder>

#include <algorithm>

namespace AlarmReports {

Bounds periodBounds(Period period, QDate today)
{
    switch (period) {
    case Period::History:
        return {};
    case Period::Today:
        return {today, today};
    case Period::Month:
        return {QDate(today.year(), today.month(), 1), QDate(today.year(), today.month(), today.daysInMonth())};
    case Period::Year:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    }
    return {};
}

std::optional<Period> periodFromName(QStringView name)
{
    if (name == u"history")
        return Period::History;
    if (name == u"today")
        return Period::Today;
    if (name == u"month")
        return Period::Month;
    if (name == u"year")
        return Period::Year;
    return std::nullopt;
}

QString dateKey(QDate date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

bool isLogFileName(QStringView fileName)
{
    return fileName.startsWith(u"log", Qt::CaseInsensitive) && fileName.endsWith(u".txt", Qt::CaseInsensitive);
}

bool fileDateInPeriod(QStringView fileName, const Bounds& bounds)
{
    if (bounds.coversAll())
        return true;
    // The date of a log file is the eight characters after "log"; names too short give fewer
    // characters, and everything is compared as text, as the names are written.
    const QStringView fileDate = fileName.mid(3, 8);
    return fileDate.compare(dateKey(bounds.start)) >= 0 && fileDate.compare(dateKey(bounds.end)) <= 0;
}

bool isCandidate(const QFileInfo& info)
{
    // Dot names and hidden files are someone else's; links and pipes are never logs of ours.
    if (info.fileName().startsWith(u'.') || info.isHidden() || !isLogFileName(info.fileName()))
        return false;
    if (info.isSymLink() || !info.isFile())
        return false;
    // A read-only log was put aside by someone on purpose; the reports have always left it out.
    return info.permissions().testFlag(QFileDevice::WriteOwner);
}

void sortLogNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b; // names that differ only in case: a fixed order all the same
    });
}

QStringList logCandidates(const QString& folder, const Bounds& bounds)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (isCandidate(info) && fileDateInPeriod(info.fileName(), bounds))
            names.append(info.fileName());
    }
    sortLogNames(names);
    const QDir dir(folder);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names)
        paths.append(dir.filePath(name));
    return paths;
}

namespace {

// The converter fails on very large input (hundreds of MB), so a longer line than this (a file
// that is no log of ours) is decoded in slices, a character cut at a slice's end carried over.
constexpr qsizetype kDecodeSlice = 16 << 20;

QString decodeLine(QStringDecoder& decoder, QByteArrayView line)
{
    if (line.size() <= kDecodeSlice)
        return decoder.decode(line);
    QStringDecoder sliced("GBK");
    QString text;
    for (qsizetype at = 0; at < line.size(); at += kDecodeSlice)
        text += sliced.decode(line.sliced(at, std::min(kDecodeSlice, line.size() - at)));
    return text;
}

} // namespace

void collectMatchingLines(const QStringList& files, const QString& addressKey,
                          const std::function<void(const QString&)>& onLine)
{
    const QByteArray key = CodePage::toGbk(addressKey);
    if (key.isEmpty())
        return;
    const ReportLineScanner scanner(key);
    // One decoder for the walk; stateless, so a broken byte at a line's end cannot spill into the next.
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    for (const QString& file : files)
        scanner.scanFile(file, [&](QByteArrayView line) { onLine(decodeLine(decoder, line)); });
}

void buildReport(const QString& folder, const Bounds& bounds, const QString& addressKey,
                 const std::function<void(const QString&)>& onLine)
{
    if (addressKey.isEmpty())
        return;
    collectMatchingLines(logCandidates(folder, bounds), addressKey, onLine);
}

} // namespace AlarmReports
