#include "WindowFixture.h"
#include "alarm/PasswordScrambler.h"
#include "app/TelephonePage.h"

#include <QTest>

// The SIP settings of the telephone page on the shown window: the line they make, the password kept
// scrambled, a changed account followed by the chosen line, and the SIP line's lines in the pane.
class SipSettingsTest : public WindowFixture {};

TEST_F(SipSettingsTest, TheAccountMakesALineThePasswordStaysScrambledAndAChangeIsFollowed)
{
    writeGbk(QStringLiteral("Para.ini"),
             QStringLiteral("[NetPara]\r\nRecPort=0\r\n[TelPara]\r\n"
                            "SipAccount=sip:alarm@127.0.0.1\r\nSipServer=127.0.0.1:5099\r\n"));
    TfrmTarnwick& w = start();
    w.telephone().modem().setScanSystemPorts(false);
    EXPECT_EQ(w.ui().edtSipServer->text(), QStringLiteral("127.0.0.1:5099"));
    w.ui().cbTel->setChecked(true);
    EXPECT_EQ(w.telephone().tel().DeviceNames(), QStringList{QStringLiteral("SIP: sip:alarm@127.0.0.1")});
    EXPECT_EQ(w.ui().Edit12->text(), QStringLiteral("SIP: sip:alarm@127.0.0.1"));
    EXPECT_FALSE(w.telephone().lines().hasSip()) << "the SIP line is made on first use only";

    QLineEdit* psw = w.ui().edtSipPsw;
    EXPECT_EQ(psw->echoMode(), QLineEdit::Password);
    enter(psw);
    QTest::keyClicks(psw, QStringLiteral("pa55;word"));
    leave();
    const QString stored = setting(QStringLiteral("TelPara"), QStringLiteral("SipPassword"));
    EXPECT_EQ(psw->text(), stored);
    EXPECT_EQ(PasswordScrambler::unscramble(stored), QStringLiteral("pa55;word"));

    QLineEdit* account = w.ui().edtSipAccount;
    enter(account);
    account->selectAll();
    QTest::keyClicks(account, QStringLiteral("sip:ops@127.0.0.1"));
    leave();
    EXPECT_EQ(setting(QStringLiteral("TelPara"), QStringLiteral("SipAccount")), QStringLiteral("sip:ops@127.0.0.1"));
    EXPECT_EQ(w.telephone().tel().SelectedDevice(), QStringLiteral("SIP: sip:ops@127.0.0.1"));
    EXPECT_EQ(w.ui().Edit12->text(), QStringLiteral("SIP: sip:ops@127.0.0.1"));

    emit w.telephone().lines().paneLine(QStringLiteral("SIP账号 sip:ops@127.0.0.1 注册成功"));
    EXPECT_TRUE(paneLines().contains(QStringLiteral("SIP账号 sip:ops@127.0.0.1 注册成功")));
}
