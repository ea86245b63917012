#include "EventWait.h"
#include "PeerSocket.h"
#include "SimulatedModem.h"
#include "WindowFixture.h"
#include "app/NetworkPage.h"
#include "app/TelephonePage.h"
#include "sound/AlarmSounds.h"
#include "sound/WaveFile.h"

#include <QTimer>

#include <cmath>

using Callee = SimulatedModem::Callee;

namespace {

// The alarm call on the shown window: a ping cycle whose addresses fail raises the alarm, the
// telephone channel calls the simulated modem on a pseudo-terminal, and the waits are shortened.
class TelephoneCallTest : public WindowFixture {
protected:
    static constexpr AlarmCallSequence::Waits kShort{150, 100, 50, 200, 100, 60000};

    TfrmTarnwick& startCalling(const QString& numbers = QStringLiteral("5550001\r\n5550002\r\n"),
                               AlarmCallSequence::Waits waits = kShort)
    {
        writeSound(QStringLiteral("alarm.wav"), 0.3);
        writeSound(QStringLiteral("first.wav"), 0.3);
        writeSound(QStringLiteral("second.wav"), 2.5);
        writeGbk(QStringLiteral("Ip.txt"), QStringLiteral("10.0.0.1:甲\r\n10.0.0.2:乙\r\n"));
        writeGbk(QStringLiteral("AlarmTelNo.txt"), numbers);
        writeGbk(QStringLiteral("Para.ini"),
                 QStringLiteral("[PingPara]\r\nPingCount=1\r\nA1=1\r\n[Break]\r\n10.0.0.1:甲=%1\r\n10.0.0.2:乙=%2\r\n")
                     .arg(path(QStringLiteral("first.wav")), path(QStringLiteral("second.wav"))));
        modems = {sim->path()};
        TfrmTarnwick& w = start(); // the first cycle finds every address answering
        TelephonePage& page = w.telephone();
        page.modem().setScanSystemPorts(false);
        page.modem().setLockFolder(dataDir);
        page.tel().setTiming({10, 5000});
        page.calls().setWaits(waits);
        w.ui().cbTel->setChecked(true);
        return w;
    }
    void writeSound(const QString& name, double seconds)
    {
        PcmSound sound{8000, 1, std::vector<qint16>(size_t(seconds * 8000))};
        for (size_t i = 0; i < sound.samples.size(); ++i)
            sound.samples[i] = qint16(7000 * std::sin(double(i) / 5));
        writeWaveFile(path(name), sound, 16);
    }
    // A ping cycle in which the given addresses fail.
    void alarmCycle(const QStringList& failing = {QStringLiteral("10.0.0.1")})
    {
        probe.answers = [failing](const QString& host) { return !failing.contains(host); };
        window->ui().bbPing->click();
    }
    bool logged(const QString& line) { return paneLines().contains(line); }
    // Runs `action` `delayMs` after `line` reaches the pane, from whatever wait the window is in then.
    void whenLogged(const QString& line, int delayMs, std::function<void()> action)
    {
        auto* poll = new QTimer(window.get());
        QObject::connect(poll, &QTimer::timeout, window.get(), [=, this] {
            if (!logged(line))
                return;
            poll->stop();
            poll->deleteLater();
            QTimer::singleShot(delayMs, window.get(), action);
        });
        poll->start(5);
    }
    // No number was dialled while the line was still off hook from the call before.
    bool hungUpBeforeEachDial() const
    {
        bool open = false;
        for (const QByteArray& command : sim->commands) {
            if (command.startsWith("ATD") && std::exchange(open, true))
                return false;
            if (command == "AT+VLS=0" || command.startsWith("ATH"))
                open = false;
        }
        return true;
    }
    // The lines of the pane from the first one that begins with `from`, without time-stamped ones.
    QStringList telephoneLines()
    {
        QStringList lines;
        for (const QString& line : paneLines())
            if (!line.contains(QStringLiteral(" -> ")) && line != QStringLiteral("参数初始化成功！"))
                lines.append(line);
        return lines;
    }
    QList<QByteArray> dialled() const
    {
        QList<QByteArray> numbers;
        for (const QByteArray& command : sim->commands)
            if (command.startsWith("ATD"))
                numbers.append(command.mid(3));
        return numbers;
    }
    // Bytes of one whole play of an 8000 Hz sound of so many seconds in the format the modem took.
    qint64 playBytes(double seconds) const
    {
        const bool wide = std::any_of(sim->formats.begin(), sim->formats.end(), [&](const QByteArray& f) {
            return f.startsWith(QByteArray::number(sim->selectedFormat) + ',') && f.contains(",16,");
        });
        return qint64(seconds * 8000) * (wide ? 2 : 1);
    }
    void TearDown() override
    {
        if (window)
            window->EndAlarmCall();
        EXPECT_FALSE(sim->offHook()) << "the line was left off hook";
        window.reset();
    }

    // A fresh modem for each window, so that its called parties start from the first.
    std::unique_ptr<SimulatedModem> sim = std::make_unique<SimulatedModem>();
};

} // namespace

TEST_F(TelephoneCallTest, TheCalledPartysKeysStopContinueOrReplay)
{
    struct Row {
        char key;
        QList<QByteArray> dialled; // once everything has settled
        const char* line;          // a line the key leads to
        bool offHook;
    };
    const QList<Row> rows{
        {'0', {"5550001"}, nullptr, false},
        {'1', {"5550001", "5550002"}, "拨打下一用户:5550002......", true},
        {'2', {"5550001"}, nullptr, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        window.reset();
        sim = std::make_unique<SimulatedModem>();
        // The key comes while the first play (the second sound, 2.5 s) is on.
        sim->callees = {Callee{Callee::Answer, 1, -1, {{350, row.key}}}, Callee{}};
        TfrmTarnwick& w = startCalling();
        alarmCycle({QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2")});
        ASSERT_EQ(w.alarmSounds().soundList().size(), 2);
        w.alarmSounds().setSoundIndex(1);
        ASSERT_TRUE(waitFor([&] { return logged(QStringLiteral("收到对方按键：") + QChar(row.key)); }));
        pump(1200);
        EXPECT_EQ(dialled(), row.dialled);
        if (row.line) {
            EXPECT_TRUE(logged(QString::fromUtf8(row.line))) << telephoneLines().join('\n').toStdString();
        }
        EXPECT_EQ(sim->offHook(), row.offHook);
        ASSERT_FALSE(sim->audioSessionBytes.isEmpty());
        EXPECT_LT(sim->audioSessionBytes.first(), playBytes(2.5)) << "the key did not stop the sound";
        if (row.key == '2') {
            // Replayed from the first sound of the list, which then plays whole.
            EXPECT_EQ(w.alarmSounds().soundIndex(), 0);
            ASSERT_GE(sim->audioSessionBytes.size(), 2);
            EXPECT_EQ(sim->audioSessionBytes.at(1), playBytes(0.3));
        }
        if (row.key == '0') {
            EXPECT_EQ(sim->audioSessionBytes.size(), 1) << "the sound played on after the stop key";
        }
    }
}

// How a sequence goes on or ends: the called party hanging up, the longest play time, no alarm
// sound, a number that cannot be dialled.
TEST_F(TelephoneCallTest, TheSequenceRedialsEndsOrStopsWithItsLines)
{
    struct Row {
        const char* name;
        QString numbers;
        QList<Callee> callees;
        int maxTime;
        bool soundAlarm;
        QList<QByteArray> dialled;
        QStringList lines; // in this order among the telephone lines
    };
    const QList<Row> rows{
        {"called party hangs up",
         "5550001\r\n5550002\r\n",
         {Callee{Callee::Answer, 1, 500}},
         2,
         true,
         {"5550001", "5550002"},
         {"正常拨号:5550001......", "正在拨号:5550001......", "断线重拨:5550002......", "正在拨号:5550002......",
          "断线重拨:......", "电话报警通知完毕！"}},
        {"longest play time",
         "5550001\r\n",
         {Callee{}},
         0,
         true,
         {"5550001"},
         {"正在拨号:5550001......", "结束通话......"}},
        {"sound alarm off",
         "5550001\r\n",
         {Callee{}},
         2,
         false,
         {},
         {"正常拨号:5550001......", "报警声音未设置，不能进行电话报警！"}},
        {"letters for a number",
         "abc\r\n",
         {Callee{}},
         2,
         true,
         {},
         {"正常拨号:abc......", "TapiFail", "其他故障：The number \"abc\" holds nothing to dial"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        window.reset();
        sim = std::make_unique<SimulatedModem>();
        sim->callees = row.callees;
        TfrmTarnwick& w = startCalling(row.numbers);
        w.ui().SpinEdit2->setValue(row.maxTime);
        w.ui().cbSD->setChecked(row.soundAlarm);
        alarmCycle();
        pump(2500);
        EXPECT_EQ(dialled(), row.dialled);
        const QStringList lines = telephoneLines();
        qsizetype at = 0;
        for (const QString& line : row.lines) {
            at = lines.indexOf(line, at);
            EXPECT_GE(at, 0) << line.toStdString() << " missing or out of order in\n" << lines.join('\n').toStdString();
            if (at < 0)
                break;
        }
        EXPECT_FALSE(sim->offHook());
    }
}

// What arrives inside the wait after the answer leaves at most one call on the line, and the call
// that takes over plays on: a ping cycle without alarm (its reset leaves nothing to play, so the
// call ends), a ping cycle that raises the alarm again (the list starts over), a network alarm from
// another station (the next number), and the called party hanging up (redialled with the next).
TEST_F(TelephoneCallTest, WhatArrivesInsideTheWaitsLeavesOneCallThatGoesOn)
{
    enum Arrival { CleanCycle, AlarmCycle, ReceivedAlarm, CalleeHangsUp };
    struct Row {
        const char* name;
        Arrival arrival;
        QList<QByteArray> dialled;
        bool playsOn; // the call that took over is on the line and plays
    };
    const QList<Row> rows{
        {"ping cycle without alarm", CleanCycle, {"5550001"}, false},
        {"ping cycle with an alarm", AlarmCycle, {"5550001", "5550001"}, true},
        {"network alarm received", ReceivedAlarm, {"5550001", "5550002"}, true},
        {"called party hangs up", CalleeHangsUp, {"5550001", "5550002"}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        window.reset();
        sim = std::make_unique<SimulatedModem>();
        sim->callees = {Callee{Callee::Answer, 1, row.arrival == CalleeHangsUp ? 300 : -1}, Callee{}};
        TfrmTarnwick& w = startCalling(QStringLiteral("5550001\r\n5550002\r\n"), {1500, 100, 50, 200, 100, 60000});
        PeerSocket station{"127.0.0.5"};
        QList<qsizetype> playsBeforeDial;
        QObject::connect(sim.get(), &SimulatedModem::commandReceived, [&](const QByteArray& line) {
            if (line.startsWith("ATD"))
                playsBeforeDial.append(sim->audioSessionBytes.size());
        });
        const auto arrive = [&] {
            switch (row.arrival) {
            case CleanCycle:
                alarmCycle({});
                break;
            case AlarmCycle:
                alarmCycle();
                break;
            case ReceivedAlarm:
                station.sendTo(CodePage::toGbk(QStringLiteral("10.9.9.9:远方 网络不通")), "127.0.0.1",
                               int(w.network().listener().boundPort()));
                break;
            case CalleeHangsUp:
                break;
            }
        };
        whenLogged(QStringLiteral("正在拨号:5550001......"), 300, arrive);
        alarmCycle();
        const auto settled = [&] {
            return row.playsOn ? dialled().size() == row.dialled.size() && !sim->audioSessionBytes.isEmpty()
                               : logged(QStringLiteral("结束通话......"));
        };
        ASSERT_TRUE(waitFor(settled)) << telephoneLines().join('\n').toStdString();
        pump(500);
        EXPECT_EQ(dialled(), row.dialled);
        EXPECT_TRUE(hungUpBeforeEachDial());
        EXPECT_EQ(sim->offHook(), row.playsOn);
        // Only the call that took over played: the first one was superseded inside its wait.
        EXPECT_EQ(playsBeforeDial, QList<qsizetype>(row.dialled.size(), 0));
        EXPECT_EQ(sim->audioSessionBytes.isEmpty(), !row.playsOn);
    }
}
