#pragma once

#include "monitor/ReplyStatus.h"

#include <QString>

#include <functional>

// What the ping cycle needs of the echo probe: a host, one echo request at a time, and its result.
// The real one is IcmpProbe; tests of the cycle put a scripted one in its place.
class EchoProbe {
public:
    virtual ~EchoProbe() = default;

    virtual void setHost(const QString& host) = 0;

    // One echo request with the empty payload and the current sequence number. Throws (any
    // std::exception) when the request cannot be carried out or an unusable answer arrives;
    // the result then keeps the values of the previous request.
    virtual void ping() = 0;

    virtual const ReplyStatus& replyStatus() const = 0;

    // Called again and again while a request waits for its answer, at most about 50 ms apart, so
    // that the window goes on handling its messages. Empty: the wait blocks.
    virtual void setWaitStep(std::function<void()> step) { (void)step; }
};
