#include "app/PingCycleWindowHost.h"

#include "app/MemoLines.h"
#include "app/TfrmTarnwick.h"
#include "shared/AddressLine.h"
#include "shared/TimeStamp.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>

int PingCycleWindowHost::addressLineCount() const
{
    return MemoLines::count(m_window.ui().mLine);
}

QString PingCycleWindowHost::addressLine(int index) const
{
    return MemoLines::line(m_window.ui().mLine, index).left(AddressLine::kMaxLength);
}

void PingCycleWindowHost::setAddressLine(int index, const QString& line)
{
    MemoLines::setLine(m_window.ui().mLine, index, line);
}

PingSettings PingCycleWindowHost::pingSettings() const
{
    const WindowUi& ui = m_window.ui();
    PingSettings settings;
    settings.pingCount = TfrmTarnwick::spinValue(ui.sePingCount);
    settings.qualityThreshold = TfrmTarnwick::spinValue(ui.sePingErr);
    settings.qualityAlarm = ui.cbQty->isChecked();
    settings.rttThreshold = TfrmTarnwick::spinValue(ui.seRTT);
    settings.rttAlarm = ui.cbRTT->isChecked();
    settings.ignoreNormal = ui.cbIgNormal->isChecked();
    settings.parallel = TfrmTarnwick::spinValue(ui.seParallel);
    settings.intervalMinutes = TfrmTarnwick::spinValue(ui.sePingInterval);
    return settings;
}

void PingCycleWindowHost::addInfo(const QString& line)
{
    m_window.AddInfo(line);
}

QString PingCycleWindowHost::timeStampPrefix() const
{
    return TimeStamp::prefix();
}

void PingCycleWindowHost::hideReportPane()
{
    m_window.pane().setReportShown(false);
}

void PingCycleWindowHost::processEvents()
{
    QCoreApplication::processEvents();
}

bool PingCycleWindowHost::isEnding() const
{
    return m_window.terminationRequested();
}

bool PingCycleWindowHost::isPingEnabled() const
{
    return m_window.ui().bbPing->isEnabled();
}

void PingCycleWindowHost::setPingEnabled(bool enabled)
{
    QPushButton* ping = m_window.ui().bbPing;
    // Disabling the focused Ping button would pass the focus on to Cancel, where a key press meant
    // for Ping would hide the window; the focus comes back when the cycle ends.
    if (!enabled)
        m_pingHadFocus = ping->hasFocus();
    ping->setEnabled(enabled);
    if (enabled && m_pingHadFocus)
        ping->setFocus();
}

void PingCycleWindowHost::verdictsWritten()
{
    m_window.notifyCycleAlarms();
}

void PingCycleWindowHost::switchCountdownOn()
{
    m_window.cycleEnded();
}

void PingCycleWindowHost::stopAlarmSound()
{
    m_window.StopSound();
}

void PingCycleWindowHost::resetAlarmPositions()
{
    m_window.resetAlarmPositions();
}

void PingCycleWindowHost::clearAlarmSoundList()
{
    m_window.clearAlarmSoundList();
}

void PingCycleWindowHost::endCallInProgress()
{
    m_window.EndAlarmCall();
}

void PingCycleWindowHost::closeWindow()
{
    m_window.close();
}
