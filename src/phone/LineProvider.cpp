#include "phone/LineProvider.h"

#include "phone/CallStates.h"
#include "phone/VoiceFormat.h"

#include <QTimer>

bool LineProvider::isSipAddress(const QString& number)
{
    const QString entry = number.trimmed();
    return entry.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive) ||
           entry.startsWith(QLatin1String("sips:"), Qt::CaseInsensitive);
}

QByteArray LineProvider::dialString(const QString& number, QString* error) const
{
    if (isSipAddress(number)) {
        *error = QStringLiteral("\"%1\" is a SIP address, which a telephone line cannot dial").arg(number.trimmed());
        return {};
    }
    return DialString::clean(number, error);
}

void LineProvider::answerDropOnClosedLine()
{
    QTimer::singleShot(0, this, [this] {
        emit replied(0);
        emit callStateChanged(CallStates::kIdle, 0);
    });
}
