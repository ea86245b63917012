#pragma once

#include "monitor/PingCycleHost.h"

#include <QStringList>

#include <functional>

// The window as the ping cycle sees it: lines, settings and what the cycle did to it.
class FakeHost final : public PingCycleHost {
public:
    QStringList lines;
    PingSettings settings;
    QStringList info;
    bool pingEnabled = true;
    bool ending = false;
    bool countdownOn = false;
    int reportPaneHidden = 0;
    int soundStopped = 0;
    int positionsReset = 0;
    int soundListCleared = 0;
    int callsEnded = 0;
    int windowClosed = 0;
    int eventsProcessed = 0;
    std::function<void()> onProcessEvents;

    int addressLineCount() const override { return int(lines.size()); }
    QString addressLine(int index) const override { return index < lines.size() ? lines[index] : QString(); }
    void setAddressLine(int index, const QString& line) override
    {
        if (index < lines.size())
            lines[index] = line;
    }
    PingSettings pingSettings() const override { return settings; }
    void addInfo(const QString& line) override { info << line; }
    QString timeStampPrefix() const override { return QStringLiteral("T> "); }
    void hideReportPane() override { ++reportPaneHidden; }
    void processEvents() override
    {
        ++eventsProcessed;
        if (onProcessEvents)
            onProcessEvents();
    }
    bool isEnding() const override { return ending; }
    bool isPingEnabled() const override { return pingEnabled; }
    void setPingEnabled(bool enabled) override { pingEnabled = enabled; }
    void switchCountdownOn() override { countdownOn = true; }
    void stopAlarmSound() override { ++soundStopped; }
    void resetAlarmPositions() override { ++positionsReset; }
    void clearAlarmSoundList() override { ++soundListCleared; }
    void endCallInProgress() override { ++callsEnded; }
    void closeWindow() override { ++windowClosed; }
};
