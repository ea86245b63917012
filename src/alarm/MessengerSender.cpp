#include "alarm/MessengerSender.h"

#include "alarm/GbkText.h"
#include "platform/CodePage.h"

#include <QProcess>
#include <QStandardPaths>

QString MessengerSender::cut(const QString& text, int limit)
{
    if (text.size() <= limit)
        return text;
    const int keep = text.at(limit - 1).isHighSurrogate() ? limit - 1 : limit;
    return text.left(keep);
}

QByteArray SmbclientMessenger::fitted(const QByteArray& text)
{
    // The client sends every line break as CR LF, one byte more than it takes.
    QByteArray sent = GbkText::cut(text, kMaxBytes);
    if (sent.size() + sent.count('\n') > kMaxBytes)
        sent = GbkText::cut(sent, kMaxBytes - sent.count('\n'));
    return sent;
}

int SmbclientMessenger::send(const QString& receiver, const QString& text)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("smbclient"));
    if (program.isEmpty())
        return kNotInstalled;
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.setStandardOutputFile(QProcess::nullDevice());
    client.start(program,
                 {QStringLiteral("-M"), receiver, QStringLiteral("-p"), QStringLiteral("139"), QStringLiteral("-N"),
                  QStringLiteral("--option=unix charset=GBK"), QStringLiteral("--option=dos charset=CP936")});
    if (!client.waitForStarted(int(m_timeLimit.count())))
        return kNotInstalled;
    client.write(fitted(CodePage::toGbk(text)));
    client.closeWriteChannel();
    if (!client.waitForFinished(int(m_timeLimit.count()))) {
        client.kill();
        client.waitForFinished();
        return kTimedOut;
    }
    if (client.exitStatus() != QProcess::NormalExit)
        return 1; // a client that crashed delivered nothing
    return client.exitCode();
}
