#pragma once

#include <QString>
#include <QtGlobal>

// The call states and disconnect modes the line device reports, with the values the alarm call
// sequence compares against.
namespace CallStates {
constexpr quint32 kIdle = 0x1;
constexpr quint32 kOffering = 0x2;
constexpr quint32 kAccepted = 0x4;
constexpr quint32 kDialTone = 0x8;
constexpr quint32 kDialing = 0x10;
constexpr quint32 kRingback = 0x20;
constexpr quint32 kBusy = 0x40;
constexpr quint32 kSpecialInfo = 0x80;
constexpr quint32 kConnected = 0x100;
constexpr quint32 kProceeding = 0x200;
constexpr quint32 kOnHold = 0x400;
constexpr quint32 kConferenced = 0x800;
constexpr quint32 kOnHoldPendConf = 0x1000;
constexpr quint32 kOnHoldPendTransfer = 0x2000;
constexpr quint32 kDisconnected = 0x4000;

// The message number of a call-state change, as carried by OnTapiStatus.
constexpr int kCallStateMessage = 2;
// OnTapiStatus while the device waits for its next attempt: Param1 holds the seconds left.
constexpr int kRetryWaitMessage = 1000;

// The index CurrentCallState returns: the position of the state's single bit, 15 for anything else.
inline int indexOf(quint32 state)
{
    for (int i = 0; i < 15; ++i)
        if (state == (1u << i))
            return i;
    return 15;
}
} // namespace CallStates

namespace DisconnectModes {
constexpr quint32 kNormal = 0x1;
constexpr quint32 kUnknown = 0x2;
constexpr quint32 kReject = 0x4;
constexpr quint32 kBusy = 0x20;
constexpr quint32 kNoAnswer = 0x40;
constexpr quint32 kBadAddress = 0x80;
constexpr quint32 kUnreachable = 0x100;
constexpr quint32 kUnavail = 0x800;
constexpr quint32 kNoDialTone = 0x1000;

QString describe(quint32 mode);
} // namespace DisconnectModes
