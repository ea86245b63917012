#pragma once

#include "desktop/AlarmNotices.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class AlarmDispatch;
class TrayIcon;

// Tells the desktop of alarms: the notices of AlarmNotices go to the tray entry's message where
// the desktop has a notification area, and to its notification service where it has none. While an
// alarm is current the tray's tip counts the addresses alarming. The ping page's switch cbNotify
// turns the notices off; the tip counts all the same.
class AlarmNotifier : public QObject {
public:
    // enabled: whether notices are wanted now.
    AlarmNotifier(AlarmDispatch& dispatch, TrayIcon& tray, std::function<bool()> enabled, QObject* parent = nullptr);

    // Every address of the ping cycle has its verdict.
    void cycleEnded();

private:
    void alarmDispatched(int code, const QString& address);
    void codeChanged(int code);
    void deliver(const std::optional<AlarmNotices::Notice>& notice);
    void scheduleHeldBack();
    void heldBackDue();

    TrayIcon& m_tray;
    std::function<bool()> m_enabled;
    AlarmNotices m_notices;
    QElapsedTimer m_clock;
    QTimer m_heldBackTimer;
};
