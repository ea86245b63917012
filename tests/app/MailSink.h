#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// The real SMTP server of smtp_sink.py (aiosmtpd, Debian's /usr/bin/python3), optionally started in
// a network namespace, stopped with the object. Logs in as ops@example.org with the monitor's
// default password, as a monitor without a stored password does.
class MailSink {
public:
    static bool available()
    {
        return QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}) == 0;
    }

    explicit MailSink(const QString& netns = QString())
    {
        QStringList args = {QStringLiteral(TW_SOURCE_DIR "/tests/alarm/smtp_sink.py"), m_box.path(),
                            QStringLiteral("ops@example.org"), QStringLiteral("quillmoss")};
        if (netns.isEmpty()) {
            m_process.start(QStringLiteral("/usr/bin/python3"), args);
        } else {
            args.prepend(QStringLiteral("/usr/bin/python3"));
            m_process.start(QStringLiteral("ip"),
                            QStringList{QStringLiteral("netns"), QStringLiteral("exec"), netns} + args);
        }
        while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
        }
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT "))
            m_port = line.mid(5).toInt();
    }
    ~MailSink()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }

    int port() const { return m_port; }
    int mailCount() const
    {
        QFile f(QDir(m_box.path()).filePath(QStringLiteral("mails.txt")));
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }

    // The [EmailPara] section of a Para.ini that sends the alarm mails here.
    QByteArray settings() const
    {
        return QStringLiteral("[EmailPara]\r\nRecMailBox=duty@example.org\r\nSender=Ops@example.org\r\n"
                              "Check=1\r\nSendSrv=127.0.0.1\r\nSendPort=%1\r\n")
            .arg(m_port)
            .toLatin1();
    }

private:
    QTemporaryDir m_box;
    QProcess m_process;
    int m_port = 0;
};
