#pragma once

#include <QString>

// The on-screen values of the ping settings, saved or not.
struct PingSettings {
    int pingCount = 4;         // sePingCount: echo requests per address (below 1 counts as 1)
    int qualityThreshold = 50; // sePingErr: quality threshold in per cent
    bool qualityAlarm = true;  // cbQty: raise Bad
    int rttThreshold = 500;    // seRTT: round-trip time threshold in ms
    bool rttAlarm = true;      // cbRTT: raise Slow
    bool ignoreNormal = true;  // cbIgNormal: write no line for a normal address
    int parallel = 1;          // seParallel: addresses probed at the same time (1 to 256)
    int intervalMinutes = 30;  // sePingInterval: the pause between two cycles
};

// What the ping cycle needs of the main window. The window implements it over its widgets; the
// cycle holds no widget itself.
class PingCycleHost {
public:
    virtual ~PingCycleHost() = default;

    // mLine. The cycle reads a line anew each time it needs it, so edits made during a cycle are
    // seen. Past the last line a line reads as empty and rewriting it has no effect.
    virtual int addressLineCount() const = 0;
    virtual QString addressLine(int index) const = 0;
    virtual void setAddressLine(int index, const QString& line) = 0;

    virtual PingSettings pingSettings() const = 0;

    // AddInfo: appends one line to mInfor (hiding mRep).
    virtual void addInfo(const QString& line) = 0;
    // "YYYY-MM-DD HH:MM:SS -> " of the current local time.
    virtual QString timeStampPrefix() const = 0;
    // Hides the report pane mRep if it is shown.
    virtual void hideReportPane() = 0;

    // Lets the window handle its pending messages (timer ticks, Cancel, edits, received alarms).
    virtual void processEvents() = 0;

    // The program is ending: the cycle sends no further echo request, and an address whose requests
    // the end cut short gets no verdict (an abandoned request says nothing about the line).
    virtual bool isEnding() const { return false; }

    // bbPing's enabled state; enabling it during a cycle is the cycle's stop signal.
    virtual bool isPingEnabled() const = 0;
    virtual void setPingEnabled(bool enabled) = 0;

    // Every address of the cycle has its verdict; the slow alarm channels (mail, telephone) come next,
    // so what the cycle raised can be told now rather than after a mail exchange.
    virtual void verdictsWritten() {}

    // The last step of every cycle: if tDisp is off, switch it on and set GroupBox9's caption to
    // "下次检测剩余时间：".
    virtual void switchCountdownOn() = 0;

    // The parts of the alarm state reset that belong to other subsystems.
    virtual void stopAlarmSound() = 0;
    virtual void resetAlarmPositions() = 0; // current sound index and telephone list position := 0
    virtual void clearAlarmSoundList() = 0;

    // Cancel: end a telephone call in progress; close (hide) the window.
    virtual void endCallInProgress() = 0;
    virtual void closeWindow() = 0;
};
