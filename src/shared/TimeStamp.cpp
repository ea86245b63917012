#include "shared/TimeStamp.h"

#include <QLocale>

namespace TimeStamp {

QString prefix(const QDateTime& now)
{
    return QLocale::c().toString(now, QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" -> ");
}

QString fileStamp(const QDateTime& now)
{
    return QLocale::c().toString(now, QStringLiteral("yyyyMMddHHmmss"));
}

} // namespace TimeStamp
