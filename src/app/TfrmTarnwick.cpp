#include "app/TfrmTarnwick.h"

#include "alarm/AlarmDispatch.h"
#include "alarm/MailAlarm.h"
#include "alarm/PasswordScrambler.h"
#include "app/AddressStandingHighlighter.h"
#include "app/AlarmNotifier.h"
#include "app/DefaultButtons.h"
#include "app/HistoryControl.h"
#include "app/MemoLines.h"
#include "app/NetworkPage.h"
#include "app/PingCycleWindowHost.h"
#include "app/Prompter.h"
#include "app/SoundPage.h"
#include "app/TelephonePage.h"
#include "desktop/Autostart.h"
#include "desktop/UsageText.h"
#include "desktop/gui/TrayIcon.h"
#include "metrics/MonitorMetrics.h"
#include "monitor/PingCycle.h"
#include "phone/gui/TDeviceSelectionForm.h"
#include "platform/AppError.h"
#include "platform/TerminationFlag.h"
#include "records/PaneFiles.h"
#include "shared/AddressLine.h"
#include "shared/TextSplit.h"
#include "sound/AlarmSounds.h"
#include "sound/Mply.h"
#include "sound/SoundRecorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace {
const QString kMailRule = QStringLiteral("填写\"收件人邮箱\"后，才能使用\"邮件报警\"功能！");
} // namespace

TfrmTarnwick::TfrmTarnwick(const AppContext& context, QWidget* parent)
    : QMainWindow(parent)
    , m_context(context)
{
    setObjectName(QStringLiteral("frmTarnwick"));
    setWindowTitle(caption());
    setWindowIcon(TrayIcon::applicationIcon());
    resize(807, 591);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_ui = buildWindowUi(this);
    setCentralWidget(m_ui.central);
    m_ui.mInfor->setModel(&m_pane.info());
    m_ui.mRep->setModel(&m_pane.report());
    connect(&m_pane, &InfoPane::reportShownChanged, this,
            [this](bool shown) { m_ui.panes->setCurrentWidget(shown ? m_ui.mRep : m_ui.mInfor); });
    connect(&m_pane.info(), &LineStore::linesAppended, this, &TfrmTarnwick::scrollPaneToEnd);

    m_settings = std::make_unique<SettingsStore>(QDir(m_context.dataDir).filePath(QStringLiteral("Para.ini")));
    m_binder = std::make_unique<SettingsBinder>(*m_settings);
    auto addInfo = [this](const QString& text) { AddInfo(text); };
    const QDir dir(m_context.dataDir);
    m_lineList =
        std::make_unique<ListMemo>(m_ui.mLine, dir.filePath(QStringLiteral("Ip.txt")),
                                   ListMemo::Texts{QStringLiteral("IP地址表"), QStringLiteral("IP地址表为可修改状态！"),
                                                   QStringLiteral("IP地址表已保存！")},
                                   addInfo);
    auto* standing = new AddressStandingHighlighter(m_ui.mLine->document(), [this] {
        return AddressStandingHighlighter::Thresholds{spinValue(m_ui.sePingErr), spinValue(m_ui.seRTT)};
    });
    for (QSpinBox* threshold : {m_ui.sePingErr, m_ui.seRTT})
        connect(threshold, &QSpinBox::valueChanged, standing, &QSyntaxHighlighter::rehighlight);
    m_recIpList = std::make_unique<ListMemo>(m_ui.mRecIp, dir.filePath(QStringLiteral("RecIp.txt")),
                                             ListMemo::Texts{QStringLiteral("接收报警主机IP地址表"),
                                                             QStringLiteral("接收报警主机IP地址表为可修改状态！"),
                                                             QStringLiteral("接收报警主机IP地址表已保存！")},
                                             addInfo);
    m_phoneList = std::make_unique<ListMemo>(m_ui.mPhone, dir.filePath(QStringLiteral("AlarmTelNo.txt")),
                                             ListMemo::Texts{QStringLiteral("报警电话列表"),
                                                             QStringLiteral("报警电话列表为可修改状态！"),
                                                             QStringLiteral("报警电话列表已保存！")},
                                             addInfo);

    createMailAlarm();
    createMonitor();
    createSound();
    connectHandlers();
    m_ui.bbPing->setFocus();
}

TfrmTarnwick::~TfrmTarnwick()
{
    FormDestroy();
}

// Start-up, in the order the monitor has always followed: settings, password, lists, state, entries,
// listener, first cycle.
void TfrmTarnwick::FormCreate(Showing showing)
{
    // Where the desktop has no notification area the monitor runs without one instead of ending.
    m_tray = new TrayIcon(this);
    m_notifier = new AlarmNotifier(
        *m_dispatch, *m_tray, [this] { return m_ui.cbNotify->isChecked(); }, this);
    connectTray();
    m_tray->show();
    loadBoundSettings();
    for (QToolButton* button : {m_ui.SpeedButton1, m_ui.SpeedButton2, m_ui.SpeedButton3, m_ui.SpeedButton4})
        m_soundPage->SpeedButtonClick(button);
    m_ui.edtSendPsw->setText(
        m_settings->read(QStringLiteral("EmailPara"), QStringLiteral("E4"),
                         PasswordScrambler::scramble(QString::fromLatin1(PasswordScrambler::kDefaultPassword))));
    m_lineList->load();
    m_recIpList->load();
    m_phoneList->load();
    m_dispatch->setCurrentCode(0);
    m_alarmSounds->clearSoundList();
    applyStartupAddressEntries();
    // Opened before the first cycle, so that its alarms already go out from and to the alarm port.
    guarded([this] { m_network->open(m_context.alarmPort); });
    startMetrics();
    if (showing == Showing::BeforeFirstCycle && !terminationRequested()) {
        show();
        // The window reaches the display before the cycle's first echo request can hold the thread.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // The first ping cycle switches the countdown on at its end.
    bbPingClick();
    m_ui.bbPing->setFocus();
}

void TfrmTarnwick::startMetrics()
{
    const MetricsEndpoint endpoint =
        m_context.metrics.value_or(MetricsEndpoint::ofSetting(m_ui.edtMetricsPort->text()));
    if (MonitorMetrics* metrics = m_metrics.start(endpoint, [this](const QString& line) { AddInfo(line); })) {
        m_cycle->setObserver(metrics);
        m_dispatch->setTally(metrics);
    }
}

void TfrmTarnwick::loadBoundSettings()
{
    QWidget* containers[] = {m_ui.TabSheet1,  m_ui.TabSheet2,  m_ui.TabSheet3, m_ui.TabSheet4, m_ui.GroupBox5,
                             m_ui.GroupBox6,  m_ui.GroupBox7,  m_ui.GroupBox8, m_ui.GroupBox3, m_ui.GroupBox10,
                             m_ui.GroupBox11, m_ui.GroupBox12, m_ui.GroupBox14};
    m_loadingSettings = true;
    for (QWidget* container : containers)
        guarded([&] { m_binder->loadContainer(container); });
    m_loadingSettings = false;
    // The telephone switch is loaded before the SIP account it may rely on: its line check runs once
    // every setting is in, or a station whose only line is SIP would be told it needs a modem.
    if (m_ui.cbTel->isChecked())
        m_telephone->CheckModem();
}

void TfrmTarnwick::applyStartupAddressEntries()
{
    QStringList lines = MemoLines::lines(m_ui.mLine);
    for (QString& line : lines)
        line.truncate(AddressLine::kMaxLength); // as every later reader of the list sees the line
    const QString defaultSound = m_settings->read(QStringLiteral("SndPara"), QStringLiteral("DefSD"));
    for (QString& line : lines) {
        const QString key = AddressLine::entryKey(line);
        line = AddressLine::withSuffix(line, AddressLine::startupSuffix());
        m_ui.lbSD->addItem(key);
        if (key == defaultSound)
            m_ui.lbSD->setCurrentRow(m_ui.lbSD->count() - 1);
    }
    MemoLines::setLines(m_ui.mLine, lines, MemoLines::hasFinalBreak(m_ui.mLine));
}

void TfrmTarnwick::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_tDisp.stop();
    // A call is not left off hook; its last line ("结束通话......") goes into the log.
    guarded([this] { m_telephone->hangUpAtEnd(); });
    guarded([this] {
        PaneFiles::write(PaneFiles::logFilePath(m_context.dataDir, QDateTime::currentDateTime()), m_pane.info());
    });
    if (m_tray)
        m_tray->hide();
    m_network->close();
    m_telephone->stop();
}

bool TfrmTarnwick::terminationRequested() const
{
    // A signal raises the flag at once; the window hears of it when the event loop next runs.
    return m_terminationRequested || (m_context.termination && m_context.termination->isRaised());
}

void TfrmTarnwick::requestTermination()
{
    if (m_terminationRequested)
        return;
    m_terminationRequested = true;
    if (m_context.termination)
        m_context.termination->raise(); // a blocking wait further up the stack gives up
    // A running cycle stops before its next address, as with Cancel.
    m_ui.bbPing->setEnabled(true);
    m_tDisp.stop();
    Q_EMIT terminationStarted();
    // Not quit(): Qt's quit first asks every visible window to close, which this window refuses,
    // and a refusal cancels the quit. exit() ends the event loop whether shown, hidden or minimised,
    // and every nested loop with it.
    QCoreApplication::exit(0);
}

void TfrmTarnwick::closeEvent(QCloseEvent* event)
{
    // Once the monitor is ending, a close (the session manager's, say) goes through.
    if (m_terminationRequested) {
        event->accept();
        return;
    }
    // Closing never ends the monitor; without a notification area to come back from, the window is
    // minimised instead of hidden so that the operator can still reach it.
    event->ignore();
    if (m_tray && m_tray->isAvailable())
        hide();
    else
        showMinimized();
}

void TfrmTarnwick::AddInfo(const QString& text)
{
    m_pane.addInfo(text);
}

void TfrmTarnwick::scrollPaneToEnd()
{
    if (m_scrollPending)
        return;
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        m_ui.mInfor->scrollToBottom();
    });
}

void TfrmTarnwick::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const AppError& e) {
        showError(e.text());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
}

void TfrmTarnwick::showError(const QString& text)
{
    m_context.prompter->message(QStringLiteral("错误"), text, Prompter::Icon::Error);
}

// ---- bound settings

void TfrmTarnwick::SpinEditExit(QSpinBox* spin)
{
    guarded([&] { m_binder->spinEditExit(spin); });
}

void TfrmTarnwick::CheckBoxClick(QCheckBox* box)
{
    guarded([&] { m_binder->checkBoxClick(box); });
    if (m_ui.cbEmail->isChecked() && TextSplit::trimmed(m_ui.edtRec->text()).isEmpty()) {
        AddInfo(kMailRule);
        m_ui.cbEmail->setChecked(false);
    }
}

void TfrmTarnwick::editExit(QLineEdit* edit)
{
    guarded([&] { m_binder->editExit(edit); });
}

void TfrmTarnwick::ComboBoxExit(QComboBox* combo)
{
    guarded([&] { m_binder->comboBoxExit(combo); });
}

void TfrmTarnwick::edtSendPswExit()
{
    guarded([this] { m_binder->passwordExit(m_ui.edtSendPsw); });
}

void TfrmTarnwick::CheckBox3Click()
{
    CheckBoxClick(m_ui.CheckBox3);
    const Autostart autostart(QCoreApplication::applicationFilePath(), m_context.dataDir, m_context.autostartLocation);
    QString reason;
    if (m_ui.CheckBox3->isChecked() && !autostart.write(&reason)) {
        m_pane.appendDirect(QStringLiteral("访问注册表时出错！"));
        m_pane.appendDirect(QStringLiteral("无法写入%1：%2").arg(autostart.entryPath(), reason));
    }
}

void TfrmTarnwick::cbTelClick()
{
    CheckBoxClick(m_ui.cbTel);
    if (!m_loadingSettings)
        m_telephone->CheckModem();
}

void TfrmTarnwick::CheckBox4Click()
{
    m_soundPage->CheckBox4Click();
}

// ---- sound alarm

void TfrmTarnwick::createSound()
{
    m_mply = std::make_unique<Mply>();
    AlarmSounds::Host host;
    host.networkAlarmSound = [this] { return m_ui.netAlarmSD->text(); };
    host.testCallSound = [this] { return m_ui.Edit6->text(); };
    host.addInfo = [this](const QString& line) { AddInfo(line); };
    host.endPreviews = [this] { m_soundPage->endPreviews(); };
    m_alarmSounds = std::make_unique<AlarmSounds>(*m_mply, *m_settings, m_context.dataDir, std::move(host));
    m_recorder = std::make_unique<SoundRecorder>(*m_mply, m_context.dataDir);
    m_soundPage = std::make_unique<SoundPage>(m_ui, *m_settings, *m_context.prompter, *m_alarmSounds, *m_recorder,
                                              m_context.dataDir, [this](const QString& line) { AddInfo(line); });
    m_dispatch->playAlarmSound = [this](int code, const QString& address) { PlayAlarmSound(code, address); };
    createTelephone();
}

void TfrmTarnwick::createTelephone()
{
    TelephonePage::Host host;
    host.addInfo = [this](const QString& line) { AddInfo(line); };
    host.resetAlarmState = [this] { m_cycle->resetAlarmState(); };
    host.setAlarmCode = [this](int code) { m_dispatch->setCurrentCode(code); };
    host.togglePause = [this] { lMinClick(); };
    host.ending = [this] { return terminationRequested(); };
    host.stopSound = [this] { StopSound(); };
    if (!m_context.headless)
        host.chooser = TDeviceSelectionForm::chooser(this);
    m_telephone = std::make_unique<TelephonePage>(m_ui, *m_context.prompter, *m_alarmSounds, m_context.modems,
                                                  m_context.dataDir, std::move(host));
    AlarmCallSequence& calls = m_telephone->calls();
    m_dispatch->setTelephoneChannel(
        {[&calls] { return calls.entryAt(calls.position()); }, [this] { m_telephone->calls().CallNextNumber(); }});
    connect(m_ui.PageControl1, &QTabWidget::currentChanged, this, &TfrmTarnwick::PageControl1Change);
}

void TfrmTarnwick::PageControl1Change()
{
    if (m_ui.PageControl1->currentIndex() == 2)
        m_telephone->CheckModem();
}

void TfrmTarnwick::EndAlarmCall()
{
    m_telephone->calls().EndAlarmCall();
}

void TfrmTarnwick::PlayAlarmSound(int code, const QString& entryKey)
{
    m_dispatch->tallySent(AlarmChannel::Sound, m_alarmSounds->PlayAlarmSound(code, entryKey));
}

void TfrmTarnwick::StopSound()
{
    m_alarmSounds->StopSound();
}

void TfrmTarnwick::lbSDClick()
{
    m_soundPage->lbSDClick();
}

// ---- lists

void TfrmTarnwick::mLineDblClick()
{
    m_lineList->unlock();
}

void TfrmTarnwick::mLineExit()
{
    guarded([this] { m_lineList->lockAndSave(); });
}

void TfrmTarnwick::ToolButton1Click()
{
    const int n = MemoLines::count(m_ui.mLine);
    for (int i = 0; i < n; ++i)
        MemoLines::setLine(m_ui.mLine, i,
                           AddressLine::withSuffix(MemoLines::line(m_ui.mLine, i), AddressLine::resetSuffix()));
}

void TfrmTarnwick::mRecIpDblClick()
{
    m_recIpList->unlock();
}

void TfrmTarnwick::mRecIpExit()
{
    guarded([this] { m_recIpList->lockAndSave(); });
}

void TfrmTarnwick::mPhoneDblClick()
{
    m_phoneList->unlock();
}

void TfrmTarnwick::mPhoneExit()
{
    guarded([this] { m_phoneList->lockAndSave(); });
}

// ---- ping cycle and countdown

void TfrmTarnwick::createMonitor()
{
    m_dispatch = std::make_unique<AlarmDispatch>(
        [this] {
            // Once the monitor is ending, no alarm channel may hold it up (a mail waits up to a minute).
            if (terminationRequested())
                return AlarmDispatch::Switches{};
            return AlarmDispatch::Switches{m_ui.cbSD->isChecked(), m_ui.cbTel->isChecked(), m_ui.cbEmail->isChecked(),
                                           m_ui.cbNet->isChecked()};
        },
        [this](const QString& line) { AddInfo(line); });
    m_dispatch->sendAlarmMail = [this](const QString& subject) { SendAlarmMail(subject); };
    m_dispatch->showError = [this](const QString& text) { showError(text); };
    m_network = std::make_unique<NetworkPage>(m_ui, m_pane, *m_dispatch, m_context.messenger);
    m_cycleHost = std::make_unique<PingCycleWindowHost>(*this);
    if (m_context.termination) {
        m_icmp.setStopHandle(m_context.termination->handle());
        m_parallelIcmp.setStopHandle(m_context.termination->handle());
    }
    EchoProbe& probe = m_context.probe ? *m_context.probe : static_cast<EchoProbe&>(m_icmp);
    // A probe put in by the caller answers for every address, one after the other.
    m_cycle =
        std::make_unique<PingCycle>(*m_cycleHost, probe, *m_dispatch, m_context.probe ? nullptr : &m_parallelIcmp);
    m_history =
        std::make_unique<HistoryControl>(this, m_context.dataDir,
                                         HistoryControl::Host{[this] { return spinValue(m_ui.sePingInterval) * 60; },
                                                              [this](const QString& line) { AddInfo(line); }});
    if (m_context.keepHistory)
        m_cycle->setHistory(m_history.get());
    m_tDisp.setInterval(1000);
    connect(&m_tDisp, &QTimer::timeout, this, &TfrmTarnwick::tDispTimer);
}

int TfrmTarnwick::alarmCode() const
{
    return m_dispatch->currentCode();
}

int TfrmTarnwick::spinValue(const QSpinBox* spin)
{
    return TextSplit::toInt(spin->cleanText()).value_or(0);
}

void TfrmTarnwick::bbPingClick()
{
    // A failure that ends a cycle (an alarm channel's error) is shown; the monitor keeps counting
    // down to the next cycle all the same.
    guarded([this] { m_cycle->bbPingClick(); });
    if (m_ui.bbPing->isEnabled()) // unless a cycle that this one interrupted is still running
        resumeCountdown();
}

void TfrmTarnwick::resumeCountdown()
{
    if (!m_tDisp.isActive() && !m_terminationRequested) {
        m_tDisp.start();
        m_ui.GroupBox9->setTitle(Countdown::runningCaption());
    }
}

void TfrmTarnwick::bbCancClick()
{
    guarded([this] { m_cycle->bbCancClick(); });
}

void TfrmTarnwick::cycleEnded()
{
    resumeCountdown();
    ++m_cyclesEnded;
    if (m_cycleLimit > 0 && m_cyclesEnded >= m_cycleLimit)
        requestTermination();
}

void TfrmTarnwick::notifyCycleAlarms()
{
    if (m_notifier)
        m_notifier->cycleEnded();
}

void TfrmTarnwick::tDispTimer()
{
    const Countdown::Tick tick = m_countdown.tDispTimer(spinValue(m_ui.sePingInterval), alarmCode());
    m_ui.lMin->setText(tick.display);
    QPalette palette = m_ui.lMin->palette();
    palette.setColor(QPalette::WindowText, tick.colour == Countdown::DigitColour::Red ? Qt::red : Qt::blue);
    m_ui.lMin->setPalette(palette);
    if (tick.trayIcon)
        m_tray->setAlarmIcon(*tick.trayIcon == Countdown::TrayIcon::Alternate);
    // Queued: a timer does not tick again while its own handler runs, and the countdown must go on
    // counting while the cycle it started lets the window handle its messages.
    if (tick.startCycle)
        QMetaObject::invokeMethod(this, &TfrmTarnwick::bbPingClick, Qt::QueuedConnection);
}

void TfrmTarnwick::lMinClick()
{
    const Countdown::Toggle toggle = Countdown::lMinClick(m_tDisp.isActive());
    if (toggle.timerOn)
        m_tDisp.start();
    else
        m_tDisp.stop();
    m_ui.GroupBox9->setTitle(toggle.caption);
}

void TfrmTarnwick::resetAlarmPositions()
{
    m_alarmSounds->setSoundIndex(0);
    m_telephone->calls().setPosition(0);
}

void TfrmTarnwick::clearAlarmSoundList()
{
    m_alarmSounds->clearSoundList();
}

// ---- notification area

void TfrmTarnwick::Ping1Click()
{
    bbPingClick();
}

void TfrmTarnwick::N1Click()
{
    if (m_ui.cbSD->isChecked())
        StopSound();
    if (m_ui.cbTel->isChecked())
        EndAlarmCall();
    requestTermination();
}

void TfrmTarnwick::N2Click()
{
    // Shown again as it was: a maximised window comes back maximised.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfrmTarnwick::trayDoubleClick()
{
    N2Click();
}

// ---- alarm reports and usage text

void TfrmTarnwick::BuildAlarmReport(const AlarmReports::Bounds& bounds)
{
    m_pane.report().clear();
    const QString key = AddressLine::entryKey(caretLineText());
    guarded([&] {
        AlarmReports::buildReport(m_context.dataDir, bounds, key, [this](const QString& line) {
            m_pane.setReportShown(true);
            m_pane.report().append(line);
        });
    });
}

void TfrmTarnwick::ToolButton7Click()
{
    BuildAlarmReport(AlarmReports::periodBounds(AlarmReports::Period::History, QDate::currentDate()));
}

void TfrmTarnwick::ToolButton9Click()
{
    BuildAlarmReport(AlarmReports::periodBounds(AlarmReports::Period::Today, QDate::currentDate()));
}

void TfrmTarnwick::ToolButton12Click()
{
    BuildAlarmReport(AlarmReports::periodBounds(AlarmReports::Period::Month, QDate::currentDate()));
}

void TfrmTarnwick::ToolButton13Click()
{
    BuildAlarmReport(AlarmReports::periodBounds(AlarmReports::Period::Year, QDate::currentDate()));
}

void TfrmTarnwick::Label8Click()
{
    const int page = m_ui.PageControl1->currentIndex();
    for (const QString& line : UsageText::linesFor(page, m_ui.PageControl1->tabText(page)))
        m_pane.appendDirect(line);
}

void TfrmTarnwick::showHistoryGraph()
{
    m_history->showGraph(AddressLine::entryKey(caretLineText()));
}

// ---- mail alarm

void TfrmTarnwick::createMailAlarm()
{
    MailAlarm::Host host;
    host.settings = [this] {
        return MailSettings{m_ui.edtRec->text(),        m_ui.edtSend->text(),    m_ui.edtSendPsw->text(),
                            m_ui.ckbCheck->isChecked(), m_ui.edtSendSrv->text(), m_ui.edtSendSrvPort->text()};
    };
    host.infoLines = [this] { return m_pane.info().lines(); };
    // The result goes straight into the pane, so that a report on display stays in front.
    host.appendInfoLine = [this](const QString& line) { m_pane.appendDirect(line); };
    host.beginWaitCursor = [] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); };
    host.endWaitCursor = [] { QGuiApplication::restoreOverrideCursor(); };
    m_mailAlarm = std::make_unique<MailAlarm>(std::move(host));
    if (m_context.termination)
        m_mailAlarm->setStopHandle(m_context.termination->handle());
}

void TfrmTarnwick::SendAlarmMail(const QString& subject)
{
    m_dispatch->tallySent(AlarmChannel::Mail, m_mailAlarm->SendAlarmMail(subject));
}

void TfrmTarnwick::BitBtn2Click()
{
    m_mailAlarm->SendTestMail();
}

// ---- network alarms

void TfrmTarnwick::BitBtn3Click()
{
    m_network->alarms().BitBtn3Click();
}

// ---- information pane

QString TfrmTarnwick::caretLineText() const
{
    return MemoLines::line(m_ui.mLine, MemoLines::caretLine(m_ui.mLine));
}

void TfrmTarnwick::tbSaveClearClick()
{
    guarded(
        [this] { PaneFiles::saveAndClear(m_pane, m_context.dataDir, caretLineText(), QDateTime::currentDateTime()); });
}

// ---- wiring

// A list memo: double click and its "设置为可修改" button unlock it; leaving it and "保存" save it.
void TfrmTarnwick::wireList(QPlainTextEdit* memo, QToolButton* unlockButton, QToolButton* saveButton,
                            void (TfrmTarnwick::*unlock)(), void (TfrmTarnwick::*save)())
{
    m_events.onDoubleClick(memo->viewport(), [this, unlock] { (this->*unlock)(); });
    m_events.onExit(memo, [this, save] { (this->*save)(); });
    connect(unlockButton, &QToolButton::clicked, this, unlock);
    connect(saveButton, &QToolButton::clicked, this, save);
}

void TfrmTarnwick::connectHandlers()
{
    for (QWidget* control : m_ui.central->findChildren<QWidget*>()) {
        if (!SettingsBinder::binding(control))
            continue;
        if (auto* spin = qobject_cast<QSpinBox*>(control)) {
            m_events.onExit(spin, [this, spin] { SpinEditExit(spin); });
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            m_events.onExit(combo, [this, combo] { ComboBoxExit(combo); });
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            if (edit == m_ui.edtSendPsw)
                m_events.onExit(edit, [this] { edtSendPswExit(); });
            else if (edit == m_ui.edtSipPsw)
                m_events.onExit(edit, [this, edit] { guarded([&] { m_binder->passwordExit(edit); }); });
            else
                m_events.onExit(edit, [this, edit] { editExit(edit); });
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            if (box == m_ui.CheckBox3)
                connect(box, &QCheckBox::toggled, this, &TfrmTarnwick::CheckBox3Click);
            else if (box == m_ui.cbTel)
                connect(box, &QCheckBox::toggled, this, &TfrmTarnwick::cbTelClick);
            else if (box == m_ui.CheckBox4)
                connect(box, &QCheckBox::toggled, this, &TfrmTarnwick::CheckBox4Click);
            else
                connect(box, &QCheckBox::toggled, this, [this, box] { CheckBoxClick(box); });
        }
    }

    wireList(m_ui.mLine, m_ui.ToolButton2, m_ui.ToolButton3, &TfrmTarnwick::mLineDblClick, &TfrmTarnwick::mLineExit);
    connect(m_ui.N4, &QAction::triggered, this, &TfrmTarnwick::mLineDblClick);
    connect(m_ui.N5, &QAction::triggered, this, &TfrmTarnwick::mLineExit);
    connect(m_ui.ToolButton1, &QToolButton::clicked, this, &TfrmTarnwick::ToolButton1Click);
    connect(m_ui.N3, &QAction::triggered, this, &TfrmTarnwick::ToolButton1Click);
    connect(m_ui.mLine, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_ui.PopupMenu2->exec(m_ui.mLine->mapToGlobal(at)); });
    wireList(m_ui.mRecIp, m_ui.ToolButton10, m_ui.ToolButton11, &TfrmTarnwick::mRecIpDblClick,
             &TfrmTarnwick::mRecIpExit);
    wireList(m_ui.mPhone, m_ui.ToolButton14, m_ui.ToolButton15, &TfrmTarnwick::mPhoneDblClick,
             &TfrmTarnwick::mPhoneExit);

    connect(m_ui.tbSaveClear, &QToolButton::clicked, this, &TfrmTarnwick::tbSaveClearClick);
    connect(m_ui.BitBtn2, &QPushButton::clicked, this, &TfrmTarnwick::BitBtn2Click);
    connect(m_ui.BitBtn3, &QPushButton::clicked, this, &TfrmTarnwick::BitBtn3Click);
    connect(m_ui.bbPing, &QPushButton::clicked, this, &TfrmTarnwick::bbPingClick);
    connect(m_ui.bbCanc, &QPushButton::clicked, this, &TfrmTarnwick::bbCancClick);
    m_events.onClick(m_ui.lMin, [this] { lMinClick(); });
    m_events.onClick(m_ui.Label8, [this] { Label8Click(); });
    m_ui.lMin->setCursor(Qt::PointingHandCursor);
    connect(m_ui.ToolButton7, &QToolButton::clicked, this, &TfrmTarnwick::ToolButton7Click);
    connect(m_ui.MenuItem1, &QAction::triggered, this, &TfrmTarnwick::ToolButton7Click);
    connect(m_ui.ToolButton9, &QToolButton::clicked, this, &TfrmTarnwick::ToolButton9Click);
    connect(m_ui.N6, &QAction::triggered, this, &TfrmTarnwick::ToolButton9Click);
    connect(m_ui.ToolButton12, &QToolButton::clicked, this, &TfrmTarnwick::ToolButton12Click);
    connect(m_ui.MenuItem2, &QAction::triggered, this, &TfrmTarnwick::ToolButton12Click);
    connect(m_ui.ToolButton13, &QToolButton::clicked, this, &TfrmTarnwick::ToolButton13Click);
    connect(m_ui.MenuItem3, &QAction::triggered, this, &TfrmTarnwick::ToolButton13Click);
    connect(m_ui.tbHistory, &QToolButton::clicked, this, &TfrmTarnwick::showHistoryGraph);
    connect(m_ui.miHistory, &QAction::triggered, this, &TfrmTarnwick::showHistoryGraph);

    m_soundPage->wire(m_events);
    DefaultButtons::install(this, m_ui.bbPing, m_ui.bbCanc);
}

void TfrmTarnwick::connectTray()
{
    connect(m_tray, &TrayIcon::pingRequested, this, &TfrmTarnwick::Ping1Click);
    connect(m_tray, &TrayIcon::showRequested, this, &TfrmTarnwick::N2Click);
    connect(m_tray, &TrayIcon::exitRequested, this, &TfrmTarnwick::N1Click);
    connect(m_tray, &TrayIcon::doubleClicked, this, &TfrmTarnwick::trayDoubleClick);
}
