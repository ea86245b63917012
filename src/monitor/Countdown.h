#pragma once

#include <QString>

#include <optional>

// The countdown between two ping cycles, without its widgets: the window owns the one-second timer
// tDisp (whose running is the whole run/pause state), the digits lMin, the caption of GroupBox9
// and the tray icon, and applies what the tick and the toggle return.
//
// The elapsed time is a day fraction summed in one-second steps and compared with the target in
// the same double arithmetic, so that a cycle starts at tick 60·v + 1 for most intervals of v
// minutes and at tick 60 for one minute, as the monitor has always counted.
class Countdown {
public:
    enum class DigitColour { Red, Blue };
    enum class TrayIcon { Normal, Alternate }; // Image1, Image2

    static constexpr int kMaxInterval = 1438; // v + 1 minutes must stay below a day

    // What one tick asks the window to show and do.
    struct Tick {
        QString display;                  // lMin, "hh:nn"
        DigitColour colour;               // lMin's font colour
        std::optional<TrayIcon> trayIcon; // set: give the tray entry this icon now
        bool startCycle = false;          // run bbPingClick now (after applying the rest)
    };

    // The pause/resume toggle's outcome.
    struct Toggle {
        bool timerOn;    // switch tDisp on (true) or off
        QString caption; // GroupBox9
    };

    static QString runningCaption() { return QStringLiteral("下次检测剩余时间："); }
    static QString pausedCaption() { return QStringLiteral("下次检测剩余时间：暂停"); }
    static QString initialDisplay() { return QStringLiteral("00:00"); }

    // tDispTimer: one second has passed. `intervalMinutes` is sePingInterval as it stands now
    // (clamped into 0..1438); an alarm is current while `currentAlarmCode` is above 0.
    Tick tDispTimer(int intervalMinutes, int currentAlarmCode);

    // lMinClick, given whether tDisp is on now.
    static Toggle lMinClick(bool timerOn);

    // Elapsed time since the countdown last ran out, in days.
    double elapsedDays() const { return m_elapsed; }

    // "hh:nn" of a time of day given in days, the milliseconds rounded as the time stamps do.
    static QString hoursMinutes(double days);

private:
    double m_elapsed = 0;
    DigitColour m_colour = DigitColour::Red;
    TrayIcon m_shownIcon = TrayIcon::Normal;
};
