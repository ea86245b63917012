#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

// Starts Xvfb on a display number that the server picks itself and reports once it takes
// connections (-displayfd), so that test programs running side by side never share a display.
// Returns ":N", or an empty text when the server did not come up within ten seconds.
inline QString startXvfb(QProcess& server, const QString& program, const QString& screenSize)
{
    server.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"), screenSize, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!server.waitForStarted(5000))
        return {};
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains('\n') && clock.elapsed() < 10000 && server.state() == QProcess::Running) {
        server.waitForReadyRead(100);
        out += server.readAllStandardOutput();
    }
    bool ok = false;
    const int display = out.trimmed().toInt(&ok);
    return ok ? QStringLiteral(":%1").arg(display) : QString();
}
