#include "SipParty.h"
#include "phone/CallStates.h"
#include "phone/LineDevice.h"
#include "phone/TelephoneLines.h"
#include "phone/VoiceModem.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace SipParty;

// The SIP line, reached through the station's telephone lines as the window has them, against sipp on
// loopback playing the far end: a busy party, one pressing keys, and a registrar.
class SippTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("baresip").isEmpty() || QStandardPaths::findExecutable("sipp").isEmpty())
            GTEST_SKIP() << "baresip (baresip-core) or sipp (sip-tester) is not installed";
        modem.setScanSystemPorts(false);
        SipLine& sip = lines.sip();
        const quint16 base = basePort();
        sip.setRuntimeFolder(dir.path());
        sip.setNetwork({QStringLiteral("127.0.0.1"), base, quint16(base + 4), quint16(base + 9)});
        sip.setTiming({5000, 3000, 5000, 2000, 1000});
        tel.setTiming({10, 5000});
        tel.MaxAttempts = 1;
        tel.OnTapiConnect = [this] { ++connects; };
        tel.OnTapiFail = [this] { ++fails; };
        tel.OnTapiDTMF = [this](QChar digit, int) { keys.append(digit); };
        tel.OnTapiStatus = [this](bool, bool, int, int message, int p1, int p2, int) {
            if (message == CallStates::kCallStateMessage)
                states.append({quint32(p1), quint32(p2)});
        };
        QObject::connect(&lines, &TelephoneLines::paneLine, [this](const QString& line) { pane.append(line); });
    }
    void TearDown() override
    {
        lines.stop();
        if (sipp.state() != QProcess::NotRunning) {
            sipp.kill();
            sipp.waitForFinished();
        }
    }
    // sipp plays the far end on the port after baresip's TLS port.
    bool startSipp(const QString& scenario)
    {
        const quint16 port = quint16(basePort() + 2);
        sipp.setStandardInputFile(QProcess::nullDevice());
        sipp.setStandardOutputFile(dir.filePath("sipp.log"));
        sipp.setWorkingDirectory(dir.path());
        sipp.start("sipp", {"-sf", QStringLiteral(TW_SOURCE_DIR "/tests/phone/sipp/%1.xml").arg(scenario), "-i",
                            "127.0.0.1", "-p", QString::number(port), "-mi", "127.0.0.1", "-mp",
                            QString::number(basePort() + 10), "-m", "1", "-nostdin", "-timeout", "30s"});
        m_uri = QStringLiteral("sip:party@127.0.0.1:%1").arg(port);
        if (!sipp.waitForStarted())
            return false;
        waitFor([] { return false; }, 1000); // until it listens
        return sipp.state() == QProcess::Running;
    }
    void selectSipLine()
    {
        tel.refreshDevices();
        ASSERT_EQ(tel.DeviceNames(), QStringList{SipLine::lineName(account.account)});
        tel.setSelectedDevice(tel.DeviceNames().first());
        tel.setEnableVoice(true);
    }

    QTemporaryDir dir;
    VoiceModem modem;
    SipLine::Account account{QStringLiteral("sip:alarm@127.0.0.1"), {}, {}};
    TelephoneLines lines{modem, [this] { return account; }};
    LineDevice tel{&lines};
    QProcess sipp;
    QString m_uri;
    int connects = 0;
    int fails = 0;
    QString keys;
    QStringList pane;
    QList<std::pair<quint32, quint32>> states;
};

TEST_F(SippTest, ABusyPartyEndsTheCallAsBusy)
{
    selectSipLine();
    ASSERT_TRUE(startSipp("uas_busy"));
    tel.PlaceCall(m_uri);
    ASSERT_TRUE(waitFor([&] { return fails == 1; }, 8000));
    EXPECT_EQ(tel.FailureCode(), int(DisconnectModes::kBusy));
    const bool busyState =
        std::any_of(states.begin(), states.end(), [](auto s) { return s.first == CallStates::kBusy; });
    EXPECT_TRUE(busyState);
    EXPECT_EQ(connects, 0);
    EXPECT_EQ(tel.CurrentCallState(), 0);
}

TEST_F(SippTest, KeysSentAsTelephoneEventsArriveAsDtmf)
{
    selectSipLine();
    ASSERT_TRUE(startSipp("uas_dtmf"));
    tel.PlaceCall(m_uri);
    ASSERT_TRUE(waitFor([&] { return connects == 1; }, 8000));
    ASSERT_TRUE(waitFor([&] { return keys.size() >= 3; }, 8000)) << keys.toStdString();
    EXPECT_EQ(keys, "15#");
    tel.HangUp();
    EXPECT_EQ(tel.CurrentCallState(), 0);
    EXPECT_EQ(fails, 0);
}

TEST_F(SippTest, TheRegistrarChecksTheServerAndThePassword)
{
    const struct {
        const char* password;
        const char* line;
    } cases[] = {
        {"secret", "SIP账号 sip:alarm@127.0.0.1 注册成功"},
        {"wrong", "SIP账号 sip:alarm@127.0.0.1 注册失败：403 Forbidden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        pane.clear();
        ASSERT_TRUE(startSipp("registrar"));
        account.password = QString::fromLatin1(c.password);
        account.server = QStringLiteral("127.0.0.1:%1").arg(basePort() + 2);
        lines.open(SipLine::lineName(account.account), true);
        EXPECT_TRUE(waitFor([&] { return !pane.isEmpty(); }, 15000));
        EXPECT_EQ(pane, QStringList{QString::fromUtf8(c.line)});
        lines.close();
        lines.stop();
        sipp.waitForFinished(5000);
    }
}
