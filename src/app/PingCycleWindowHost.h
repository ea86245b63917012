#pragma once

#include "monitor/PingCycleHost.h"

#include <functional>

class TfrmTarnwick;

// The ping cycle's view of the main window: the address list memo, the ping settings as they stand
// on screen, the information pane, the Ping button as the stop signal and the countdown timer.
class PingCycleWindowHost : public PingCycleHost {
public:
    explicit PingCycleWindowHost(TfrmTarnwick& window)
        : m_window(window)
    {}

    int addressLineCount() const override;
    QString addressLine(int index) const override;
    void setAddressLine(int index, const QString& line) override;
    PingSettings pingSettings() const override;
    void addInfo(const QString& line) override;
    QString timeStampPrefix() const override;
    void hideReportPane() override;
    void processEvents() override;
    bool isEnding() const override;
    bool isPingEnabled() const override;
    void setPingEnabled(bool enabled) override;
    void verdictsWritten() override;
    void switchCountdownOn() override;
    void stopAlarmSound() override;
    void resetAlarmPositions() override;
    void clearAlarmSoundList() override;
    void endCallInProgress() override;
    void closeWindow() override;

private:
    TfrmTarnwick& m_window;
    bool m_pingHadFocus = false;
};
