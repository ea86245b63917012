#include "phone/CallStates.h"

QString DisconnectModes::describe(quint32 mode)
{
    switch (mode) {
    case kNormal:
        return QStringLiteral("the remote party hung up");
    case kUnknown:
        return QStringLiteral("reason unknown");
    case kReject:
        return QStringLiteral("the remote party rejected the call");
    case kBusy:
        return QStringLiteral("the number is busy");
    case kNoAnswer:
        return QStringLiteral("nobody answered");
    case kBadAddress:
        return QStringLiteral("the address does not exist");
    case kUnreachable:
        return QStringLiteral("the remote party cannot be reached");
    case kUnavail:
        return QStringLiteral("the remote party is unavailable");
    case kNoDialTone:
        return QStringLiteral("no dial tone");
    default:
        return QStringLiteral("mode 0x%1").arg(mode, 0, 16);
    }
}
