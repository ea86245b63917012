#pragma once

#include <QString>

#include <optional>

// Whether this process may ping at all. Without root or the raw-socket capability, and outside
// the groups that net.ipv4.ping_group_range allows ICMP datagram sockets, every echo request fails
// and every address reads as down; the operator is told once, at start-up, why and what helps.
class IcmpAccess {
public:
    // The start-up line when neither kind of ICMP socket can be opened; nullopt when one can.
    static std::optional<QString> startupNotice(const QString& executablePath);

    // The line itself: the system's reason, and the two remedies for this executable.
    static QString noticeText(const QString& executablePath, const QString& reason);
};
