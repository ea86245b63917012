#pragma once

#include <QString>
#include <QtGlobal>

// Outcome of one echo request. The ping cycle tells the statuses apart by these codes.
enum class ReplyStatusType : quint8 {
    Echo = 0,        // an echo reply, or our own echo request, carrying the current sequence number
    Error = 1,       // no decode produces it; the ping cycle still has a text for it
    TimedOut = 2,    // no matching answer within the receive timeout
    Unreachable = 3, // destination unreachable quoting the current request
    TtlExceeded = 4, // time exceeded quoting the current request
};

// The result record of the latest completed echo request.
struct ReplyStatus {
    int bytesReceived = 0;                             // size of the matching IP datagram; 0 on timeout
    QString fromIpAddress = QStringLiteral("0.0.0.0"); // its source, dotted
    quint8 msgType = 0;                                // its ICMP type
    quint16 sequenceNumber = 0;                        // the sequence number found in it
    quint32 msRoundTripTime = 0;                       // from the send to the answer's arrival, in ms
    quint8 timeToLive = 0;                             // TTL byte of its IP header
    ReplyStatusType replyStatusType = ReplyStatusType::TimedOut;
};
