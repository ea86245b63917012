#include "phone/VoiceFormat.h"

#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr char kDle = 0x10;

std::optional<VoiceFormat::Coding> codingOf(const QString& name, int bits)
{
    const QString n = name.toUpper();
    if (n.contains(QLatin1String("ULAW")) || n.contains(QLatin1String("U-LAW")) ||
        n.contains(QLatin1String("G.711U")) || n.contains(QLatin1String("G711U")))
        return VoiceFormat::ULaw;
    if (n.contains(QLatin1String("ALAW")) || n.contains(QLatin1String("A-LAW")) ||
        n.contains(QLatin1String("G.711A")) || n.contains(QLatin1String("G711A")))
        return VoiceFormat::ALaw;
    if (n.contains(QLatin1String("ADPCM")))
        return std::nullopt;
    const bool unsignedPcm = n.contains(QLatin1String("UNSIGNED PCM"));
    if (bits == 16 &&
        (n.contains(QLatin1String("LINEAR")) || (!unsignedPcm && n.contains(QLatin1String("SIGNED PCM")))))
        return VoiceFormat::Linear16;
    if (bits == 8 && (unsignedPcm || n.contains(QLatin1String("LINEAR"))))
        return VoiceFormat::Unsigned8;
    return std::nullopt;
}

// The rate fields after the bit count: "(7200,8000)", "8000", "(4800-11025)", or nothing at all.
bool offers8000(const QString& rest)
{
    static const QRegularExpression number(QStringLiteral("(\\d+)(?:-(\\d+))?"));
    bool any = false;
    // The first field after the bits is the timing mode; the rates follow it.
    const qsizetype comma = rest.indexOf(u',');
    if (comma < 0)
        return true;
    const QString rates = rest.mid(comma + 1).section(u')', 0, 0);
    for (auto it = number.globalMatch(rates); it.hasNext();) {
        const auto match = it.next();
        any = true;
        const int low = match.captured(1).toInt();
        const int high = match.captured(2).isEmpty() ? low : match.captured(2).toInt();
        if (low <= 8000 && 8000 <= high)
            return true;
    }
    return !any;
}
} // namespace

std::optional<VoiceFormat> VoiceFormat::best(const QList<QByteArray>& lines, int lineBytesPerSecond)
{
    static const QRegularExpression entry(
        QStringLiteral("^\\s*(?:\\+VSM:\\s*)?(\\d+)\\s*,\\s*\"([^\"]*)\"\\s*,\\s*(\\d+)(.*)$"));
    std::optional<VoiceFormat> best;
    std::optional<VoiceFormat> bestFitting;
    for (const QByteArray& line : lines) {
        const auto match = entry.match(QString::fromLatin1(line));
        if (!match.hasMatch())
            continue;
        const auto coding = codingOf(match.captured(2), match.captured(3).toInt());
        if (!coding || !offers8000(match.captured(4)))
            continue;
        const VoiceFormat format{match.captured(1).toInt(), *coding};
        if (!best || format.coding < best->coding)
            best = format;
        const bool fits = lineBytesPerSecond <= 0 || format.bytesPerSecond() <= lineBytesPerSecond;
        if (fits && (!bestFitting || format.coding < bestFitting->coding))
            bestFitting = format;
    }
    // A modem that offers nothing the line carries in time still gets the best it has: a sound that
    // stutters tells more than none.
    return bestFitting ? bestFitting : best;
}

QByteArray VoiceFormat::encode(const qint16* samples, qsizetype count) const
{
    QByteArray out(count * bytesPerSample(), Qt::Uninitialized);
    char* p = out.data();
    for (qsizetype i = 0; i < count; ++i) {
        const qint16 s = samples[i];
        switch (coding) {
        case Linear16:
            *p++ = char(s & 0xFF);
            *p++ = char((s >> 8) & 0xFF);
            break;
        case Unsigned8:
            *p++ = char((s >> 8) + 0x80);
            break;
        case ULaw:
            *p++ = char(VoiceData::uLaw(s));
            break;
        case ALaw:
            *p++ = char(VoiceData::aLaw(s));
            break;
        }
    }
    return out;
}

QByteArray VoiceData::shield(const QByteArray& data)
{
    const qsizetype dles = std::count(data.begin(), data.end(), kDle);
    if (dles == 0)
        return data;
    QByteArray out;
    out.reserve(data.size() + dles);
    for (char c : data) {
        out.append(c);
        if (c == kDle)
            out.append(c);
    }
    return out;
}

QByteArray VoiceData::unshield(const QByteArray& data, bool* pendingDle, QByteArray* codes)
{
    QByteArray out;
    out.reserve(data.size());
    for (char c : data) {
        if (*pendingDle) {
            *pendingDle = false;
            if (c == kDle)
                out.append(c);
            else if (codes)
                codes->append(c);
        } else if (c == kDle) {
            *pendingDle = true;
        } else {
            out.append(c);
        }
    }
    return out;
}

quint8 VoiceData::uLaw(qint16 sample)
{
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0)
        s = -s;
    s = std::min(s, kClip) + kBias;
    int exponent = 7;
    for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return quint8(~(sign | (exponent << 4) | mantissa));
}

quint8 VoiceData::aLaw(qint16 sample)
{
    int pcm = sample >> 3;
    int mask = 0xD5;
    if (pcm < 0) {
        mask = 0x55;
        pcm = -pcm - 1;
    }
    static constexpr int kSegmentEnd[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
    int segment = 0;
    while (segment < 8 && pcm > kSegmentEnd[segment])
        ++segment;
    if (segment >= 8)
        return quint8(0x7F ^ mask);
    int value = segment << 4;
    value |= segment < 2 ? (pcm >> 1) & 0x0F : (pcm >> segment) & 0x0F;
    return quint8(value ^ mask);
}

QByteArray DialString::clean(const QString& number, QString* error)
{
    static const QString dropped = QStringLiteral(" -().");
    static const QString allowed = QStringLiteral("0123456789*#ABCDabcd,WwPpTt!@");
    QByteArray out;
    for (QChar c : number) {
        if (dropped.contains(c))
            continue;
        if (!allowed.contains(c)) {
            *error = QStringLiteral("The number \"%1\" holds \"%2\", which a dial string cannot carry").arg(number, c);
            return {};
        }
        out.append(char(c.toUpper().toLatin1()));
    }
    if (!std::any_of(out.begin(), out.end(), [](char c) { return (c >= '0' && c <= '9') || c == '*' || c == '#'; })) {
        *error = QStringLiteral("The number \"%1\" holds nothing to dial").arg(number);
        return {};
    }
    return out;
}

QByteArray DialString::toneList(const QString& digits)
{
    QByteArray out;
    for (QChar c : digits) {
        const char k = char(c.toUpper().toLatin1());
        if ((k >= '0' && k <= '9') || k == '*' || k == '#' || (k >= 'A' && k <= 'D')) {
            if (!out.isEmpty())
                out.append(',');
            out.append(k);
        }
    }
    return out;
}
