#include "records/GraphCommand.h"

#include "records/HistoryFileName.h"
#include "records/HistoryGraph.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

GraphCommandResult runGraphCommand(const QString& historyFolder, const QString& key, const QString& range,
                                   const QString& outFile, std::time_t end)
{
    const std::optional<HistoryGraph::Range> parsed = HistoryGraph::fromOptionName(range);
    if (!parsed)
        return {2, QStringLiteral("unknown range \"%1\": use 3h, 30h, 10d or 1y").arg(range)};
    const QString path = QDir(historyFolder).filePath(HistoryFileName::fromKey(key));
    if (!QFileInfo::exists(path))
        return {1, QStringLiteral("no history for \"%1\" (no file %2)").arg(key, QDir::toNativeSeparators(path))};
    const HistoryGraph::Image image = HistoryGraph::draw(path, key, *parsed, end);
    if (image.png.isEmpty())
        return {1, QStringLiteral("the graph of \"%1\" could not be drawn: %2").arg(key, image.error)};
    QSaveFile out(outFile);
    if (!out.open(QIODevice::WriteOnly) || out.write(image.png) != image.png.size() || !out.commit())
        return {1, QStringLiteral("cannot write %1: %2").arg(outFile, out.errorString())};
    return {};
}
