#pragma once

#include "alarm/MailMessage.h"
#include "alarm/SmtpClient.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

// What the page "邮件报警设置" holds when a mail goes out, as the window reads it from its fields.
struct MailSettings {
    QString recipients;        // edtRec
    QString sender;            // edtSend
    QString scrambledPassword; // edtSendPsw, always in its scrambled form
    bool authenticate = false; // ckbCheck
    QString server;            // edtSendSrv
    QString portText;          // edtSendSrvPort
};

// The mail alarm: one mail with the whole information pane to the recipients of the mail page, its
// result written into the pane. Each call makes its own client and message; nothing carries over.
class MailAlarm {
public:
    // What the window provides.
    struct Host {
        std::function<MailSettings()> settings;
        std::function<QStringList()> infoLines;             // every line of mInfor, first to last
        std::function<void(const QString&)> appendInfoLine; // straight into mInfor, report pane left as it is
        std::function<void()> beginWaitCursor;              // hourglass on
        std::function<void()> endWaitCursor;                // normal cursor again
        std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    };

    static inline const QString kAlarmSubject = QStringLiteral("接受监控的网络报警信息");
    static inline const QString kTestSubject = QStringLiteral("Tarnwicker发送的测试邮件");
    static inline const QString kSuccessText = QStringLiteral("成功发送邮件！");
    static inline const QString kFailureText =
        QStringLiteral("发送失败，请检查是否已上网或密码、邮件地址等参数是否正确！");

    explicit MailAlarm(Host host);

    // Composes, sends and reports one mail; returns when the SMTP exchange has ended. Never throws:
    // every failure becomes the one failure line in the pane. True when the mail was sent.
    bool SendAlarmMail(const QString& subject);

    // What the button "发送测试邮件" does (BitBtn2Click), whether or not the mail alarm is switched on.
    void SendTestMail() { SendAlarmMail(kTestSubject); }

    // For tests: a shorter wait than the minute a real server is given, a fixed greeting name, and
    // the locale whose formats the closing line of the body uses.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    void setGreetingName(const QString& name) { m_greetingName = name; }
    void setLocale(const QLocale& locale) { m_locale = locale; }
    // The end of the program abandons a mail under way (SmtpClient::setStopHandle).
    void setStopHandle(int handle) { m_stopHandle = handle; }

    // The pieces of the mail, each a plain function of its inputs.
    static QString closingLine(const QDateTime& now, const QLocale& locale);
    static QString userNameOf(const QString& sender);
    static int portOf(const QString& portText);
    static MailMessage composeMessage(const MailSettings& settings, const QString& subject, QStringList paneLines,
                                      const QDateTime& now, const QLocale& locale);

private:
    void fillClient(SmtpClient& client, const MailSettings& settings) const;
    static QString asOneLine(QString failure);

    Host m_host;
    std::chrono::milliseconds m_timeLimit = SmtpClient::kDefaultTimeLimit;
    QString m_greetingName;
    int m_stopHandle = -1;
    QLocale m_locale = QLocale::system();
};
