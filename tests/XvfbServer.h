#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
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

// True once the monitor's main window (its caption, its size) is mapped and viewable on the display
// the environment names.
inline bool showsMonitorWindow(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess tree;
    tree.setProcessEnvironment(environment);
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(5000);
    for (const QByteArray& line : tree.readAllStandardOutput().split('\n')) {
        if (!line.contains("Tarnwicker") || !line.contains("807x591"))
            continue;
        QProcess info;
        info.setProcessEnvironment(environment);
        info.start(QStringLiteral("xwininfo"),
                   {QStringLiteral("-id"), QString::fromLatin1(line.trimmed().split(' ').value(0))});
        info.waitForFinished(5000);
        if (info.readAllStandardOutput().contains("IsViewable"))
            return true;
    }
    return false;
}
