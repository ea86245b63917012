#include "records/RrdFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <rrd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// The library's own text, or the system's when it left none (a temporary file it could not write).
QString lastError(int savedErrno)
{
    const char* text = rrd_get_error();
    if (text && *text)
        return QString::fromLocal8Bit(text);
    return QString::fromLocal8Bit(std::strerror(savedErrno ? savedErrno : EIO));
}

QByteArray number(double value)
{
    return std::isnan(value) ? QByteArrayLiteral("U") : QByteArray::number(value, 'f', 3);
}

bool write(const QString& path, const QByteArray& line, QString* error)
{
    const QByteArray file = QFile::encodeName(path);
    const char* argv[] = {line.constData()};
    rrd_clear_error();
    errno = 0;
    if (rrd_updatex_r(file.constData(), nullptr, RRD_SKIP_PAST_UPDATES, 1, argv) == 0)
        return true;
    *error = lastError(errno);
    return false;
}

} // namespace

QStringList RrdFile::sourceNames()
{
    QStringList names{QStringLiteral("loss"), QStringLiteral("up"), QStringLiteral("median")};
    for (int j = 1; j <= HistoryValues::kSpread; ++j)
        names << QStringLiteral("rtt%1").arg(j);
    return names;
}

bool RrdFile::create(const QString& path, std::time_t start, QString* error)
{
    QList<QByteArray> definitions;
    for (const QString& name : sourceNames()) {
        const char* bound = name == QLatin1String("loss") || name == QLatin1String("up") ? "1" : "U";
        definitions
            << QStringLiteral("DS:%1:GAUGE:%2:0:%3").arg(name).arg(kHeartbeat).arg(QLatin1String(bound)).toLatin1();
    }
    definitions << QByteArrayLiteral("RRA:AVERAGE:0.5:1:") + QByteArray::number(kRecentRows);
    for (const char* consolidation : {"AVERAGE", "MIN", "MAX"})
        definitions << QByteArray("RRA:") + consolidation + ":0.5:" + QByteArray::number(kDaySteps) + ':' +
                           QByteArray::number(kDayRows);
    std::vector<const char*> argv;
    for (const QByteArray& definition : definitions)
        argv.push_back(definition.constData());
    const QByteArray file = QFile::encodeName(path);
    rrd_clear_error();
    errno = 0;
    // Never over an existing file: a damaged one is set aside by the caller first.
    if (rrd_create_r2(file.constData(), kStep, start, 1, nullptr, nullptr, int(argv.size()), argv.data()) == 0)
        return true;
    // The library says nothing when its temporary file could not be written in full.
    const char* text = rrd_get_error();
    const QStorageInfo disk(QFileInfo(path).absolutePath());
    if ((!text || !*text) && disk.isValid() && disk.bytesAvailable() < kMaxSize)
        *error = QStringLiteral("磁盘空间不足");
    else
        *error = lastError(errno);
    return false;
}

bool RrdFile::update(const QString& path, std::time_t t, const HistoryValues& values, QString* error)
{
    QByteArray line = QByteArray::number(qint64(t)) + ':' + number(values.loss) + ':' + number(values.up) + ':' +
                      number(values.median);
    for (double rtt : values.spread)
        line += ':' + number(rtt);
    return write(path, line, error);
}

bool RrdFile::updateUnknown(const QString& path, std::time_t t, QString* error)
{
    QByteArray line = QByteArray::number(qint64(t));
    for (qsizetype i = 0; i < sourceNames().size(); ++i)
        line += ":U";
    return write(path, line, error);
}

std::optional<std::time_t> RrdFile::lastUpdate(const QString& path, QString* error)
{
    const QByteArray file = QFile::encodeName(path);
    rrd_clear_error();
    errno = 0;
    const std::time_t last = rrd_last_r(file.constData());
    if (last == -1) {
        *error = lastError(errno);
        return std::nullopt;
    }
    return last;
}

std::optional<RrdFile::Rows> RrdFile::fetch(const QString& path, const char* consolidation, std::time_t start,
                                            std::time_t end, QString* error)
{
    const QByteArray file = QFile::encodeName(path);
    unsigned long step = 0;
    unsigned long count = 0;
    char** names = nullptr;
    rrd_value_t* data = nullptr;
    rrd_clear_error();
    errno = 0;
    if (rrd_fetch_r(file.constData(), consolidation, &start, &end, &step, &count, &names, &data) != 0) {
        *error = lastError(errno);
        return std::nullopt;
    }
    Rows rows;
    rows.start = start;
    rows.step = step;
    for (unsigned long i = 0; i < count; ++i) {
        rows.names << QString::fromLatin1(names[i]);
        rrd_freemem(names[i]);
    }
    rrd_freemem(names);
    const std::size_t total = step ? std::size_t((end - start) / std::time_t(step)) * count : 0;
    rows.values.assign(data, data + total);
    rrd_freemem(data);
    return rows;
}
