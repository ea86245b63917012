#include "records/HistoryGraph.h"

#include "records/RrdFile.h"

#include <QFile>
#include <QStringList>

#include <rrd.h>

#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

struct RangeInfo {
    HistoryGraph::Range range;
    const char* option;
    const char* caption;
    int seconds;
    const char* grid; // the time axis: grid lines, major lines, labels and their strftime form
};

const RangeInfo kInfo[] = {
    {HistoryGraph::Range::Hours3, "3h", "3小时", 3 * 3600, "MINUTE:10:HOUR:1:MINUTE:30:0:%H:%M"},
    {HistoryGraph::Range::Hours30, "30h", "30小时", 30 * 3600, "HOUR:1:HOUR:6:HOUR:6:0:%d日%H时"},
    {HistoryGraph::Range::Days10, "10d", "10天", 10 * 86400, "HOUR:12:DAY:1:DAY:1:86400:%m月%d日"},
    {HistoryGraph::Range::Year, "1y", "1年", 365 * 86400, "DAY:7:MONTH:1:MONTH:1:2592000:%m月"},
};

const RangeInfo& info(HistoryGraph::Range range)
{
    for (const RangeInfo& i : kInfo) {
        if (i.range == range)
            return i;
    }
    return kInfo[0];
}

// Loss bands of the median line, as the legend names them.
struct Band {
    double upTo; // loss share, inclusive
    const char* colour;
    const char* legend;
};
const Band kBands[] = {
    {0.0, "#00C000", "无丢包"},
    {0.25, "#0060FF", "丢包≤25%"},
    {0.5, "#FF00FF", "丢包≤50%"},
    {0.999, "#FF0000", "丢包>50%"},
};

// A path inside a graph definition: its colons are escaped.
QString definitionPath(const QString& path)
{
    QString escaped = path;
    return escaped.replace(QLatin1Char(':'), QLatin1String("\\:"));
}

QStringList graphArguments(const QString& rrdPath, const QString& key, HistoryGraph::Range range, std::time_t end,
                           int width, int height)
{
    const RangeInfo& r = info(range);
    const QString file = definitionPath(rrdPath);
    // The year is drawn from the daily rows, whose minimum and maximum are their own.
    const bool year = range == HistoryGraph::Range::Year;
    const QString fastest = year ? QStringLiteral("MIN") : QStringLiteral("AVERAGE");
    const QString slowest = year ? QStringLiteral("MAX") : QStringLiteral("AVERAGE");
    QStringList a{
        QStringLiteral("graph"), QStringLiteral("-"), QStringLiteral("--imgformat=PNG"),
        QStringLiteral("--start=%1").arg(qint64(end) - r.seconds), QStringLiteral("--end=%1").arg(qint64(end)),
        QStringLiteral("--width=%1").arg(width), QStringLiteral("--height=%1").arg(height),
        QStringLiteral("--font=DEFAULT:9:WenQuanYi Micro Hei,Noto Sans CJK SC,sans"),
        QStringLiteral("--title=%1  %2").arg(key, QString::fromUtf8(r.caption)),
        QStringLiteral("--vertical-label=往返时间（毫秒）"),
        QStringLiteral("--x-grid=%1").arg(QString::fromUtf8(r.grid)), QStringLiteral("--lower-limit=0"),
        QStringLiteral("--slope-mode"), QStringLiteral("--disable-rrdtool-tag"),
        QStringLiteral("DEF:loss=%1:loss:AVERAGE").arg(file), QStringLiteral("DEF:up=%1:up:AVERAGE").arg(file),
        QStringLiteral("DEF:median=%1:median:AVERAGE").arg(file),
        QStringLiteral("DEF:low=%1:rtt1:%2").arg(file, fastest), QStringLiteral("DEF:q1=%1:rtt2:AVERAGE").arg(file),
        QStringLiteral("DEF:q3=%1:rtt3:AVERAGE").arg(file), QStringLiteral("DEF:high=%1:rtt4:%2").arg(file, slowest),
        // The smoke: the slowest to the fastest light, the middle half darker.
        QStringLiteral("CDEF:spread=high,low,-"), QStringLiteral("CDEF:middle=q3,q1,-"), QStringLiteral("AREA:low"),
        QStringLiteral("AREA:spread#D8D8D8::STACK"), QStringLiteral("AREA:q1"),
        QStringLiteral("AREA:middle#A8A8A8::STACK")};
    double from = -1;
    for (int i = 0; i < int(std::size(kBands)); ++i) {
        const Band& band = kBands[i];
        const QString name = QStringLiteral("band%1").arg(i);
        a << QStringLiteral("CDEF:%1=loss,%2,GT,loss,%3,LE,*,median,UNKN,IF").arg(name).arg(from).arg(band.upTo)
          << QStringLiteral("LINE2:%1%2:%3").arg(name, QLatin1String(band.colour), QString::fromUtf8(band.legend));
        from = band.upTo;
    }
    a << QStringLiteral("CDEF:silent=up,UN,UNKN,up,0,EQ,1,UNKN,IF,IF")
      << QStringLiteral("TICK:silent#FF000060:1:全部丢失\\l") << QStringLiteral("CDEF:losspct=loss,100,*")
      << QStringLiteral("CDEF:uppct=up,100,*") << QStringLiteral("VDEF:medmed=median,50,PERCENTNAN")
      << QStringLiteral("VDEF:medavg=median,AVERAGE") << QStringLiteral("VDEF:rttmin=low,MINIMUM")
      << QStringLiteral("VDEF:rttmax=high,MAXIMUM") << QStringLiteral("VDEF:lossavg=losspct,AVERAGE")
      << QStringLiteral("VDEF:upavg=uppct,AVERAGE") << QStringLiteral("GPRINT:medmed:往返时间 中位数 %.1lf 毫秒")
      << QStringLiteral("GPRINT:medavg:平均 %.1lf 毫秒") << QStringLiteral("GPRINT:rttmin:最小 %.1lf 毫秒")
      << QStringLiteral("GPRINT:rttmax:最大 %.1lf 毫秒\\l") << QStringLiteral("GPRINT:lossavg:丢包 %.1lf%%")
      << QStringLiteral("GPRINT:upavg:可用率 %.1lf%%\\l");
    return a;
}

int integer(const rrd_info_t* entry)
{
    return entry->type == RD_I_CNT ? int(entry->value.u_cnt) : int(entry->value.u_val);
}

} // namespace

QString HistoryGraph::caption(Range range)
{
    return QString::fromUtf8(info(range).caption);
}

QString HistoryGraph::optionName(Range range)
{
    return QString::fromLatin1(info(range).option);
}

std::optional<HistoryGraph::Range> HistoryGraph::fromOptionName(const QString& name)
{
    for (const RangeInfo& i : kInfo) {
        if (name == QLatin1String(i.option))
            return i.range;
    }
    return std::nullopt;
}

int HistoryGraph::seconds(Range range)
{
    return info(range).seconds;
}

QString HistoryGraph::lossColour(double loss)
{
    for (const Band& band : kBands) {
        if (loss <= band.upTo)
            return QString::fromLatin1(band.colour);
    }
    return {};
}

HistoryGraph::Image HistoryGraph::draw(const QString& rrdPath, const QString& key, Range range, std::time_t end,
                                       int plotWidth, int plotHeight)
{
    Image image;
    const QStringList arguments = graphArguments(rrdPath, key, range, end, plotWidth, plotHeight);
    std::vector<QByteArray> bytes;
    for (const QString& argument : arguments)
        bytes.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    rrd_clear_error();
    optind = 0; // the library reads its options with getopt, which keeps its place between calls
    rrd_info_t* result = rrd_graph_v(int(argv.size()), argv.data());
    if (!result) {
        image.error = QString::fromLocal8Bit(rrd_get_error());
        return image;
    }
    for (const rrd_info_t* entry = result; entry; entry = entry->next) {
        if (std::strcmp(entry->key, "image") == 0 && entry->type == RD_I_BLO)
            image.png = QByteArray(reinterpret_cast<const char*>(entry->value.u_blo.ptr), int(entry->value.u_blo.size));
        else if (std::strcmp(entry->key, "graph_left") == 0)
            image.plotLeft = integer(entry);
        else if (std::strcmp(entry->key, "graph_top") == 0)
            image.plotTop = integer(entry);
        else if (std::strcmp(entry->key, "graph_width") == 0)
            image.plotWidth = integer(entry);
        else if (std::strcmp(entry->key, "graph_height") == 0)
            image.plotHeight = integer(entry);
    }
    rrd_info_free(result);
    return image;
}
