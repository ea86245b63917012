#pragma once

// The alarm channels whose sends are counted.
enum class AlarmChannel { Sound, Udp, Messenger, Mail, Telephone };

// Keeps account of alarms: each one raised, each send of a channel with its result, and each
// datagram received from another station, taken as an alarm or dropped.
class AlarmTally {
public:
    virtual ~AlarmTally() = default;
    virtual void alarmRaised(int kind) = 0;
    virtual void alarmSent(AlarmChannel channel, bool ok) = 0;
    virtual void datagramReceived(bool accepted) = 0;
};
