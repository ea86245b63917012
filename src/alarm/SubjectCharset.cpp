#include "alarm/SubjectCharset.h"

#include <QStringEncoder>

namespace SubjectCharsets {

SubjectCharset forLanguage(QLocale::Language language, QLocale::Territory territory)
{
    switch (language) {
    case QLocale::Chinese:
        if (territory == QLocale::China)
            return codePage936();
        return {"Big5", 'B', "Big5"};
    case QLocale::Japanese:
        return {"ISO-2022-JP", 'B', "ISO-2022-JP"};
    case QLocale::Korean:
        return {"EUC-KR", 'B', "EUC-KR"};
    default:
        return {"ISO-8859-1", 'Q', "ISO-8859-1"};
    }
}

SubjectCharset codePage936()
{
    return {"GB2312", 'B', "GBK"};
}

QByteArray bytesOf(const SubjectCharset& charset, QStringView text)
{
    QStringEncoder encoder(charset.codec.constData(), QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    // ISO-2022-JP must end in ASCII, but the converter writes the switch back only before a
    // following ASCII character: one blank is converted with the text and taken off again.
    QByteArray bytes = encoder.encode(text.toString() + QLatin1Char(' '));
    bytes.chop(1);
    return bytes;
}

} // namespace SubjectCharsets
