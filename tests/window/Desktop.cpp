#include "Desktop.h"

#include "XvfbServer.h"

#include <QProcess>
#include <QThread>

#include <cstdio>
#include <memory>

namespace {
std::unique_ptr<QProcess> g_xvfb;
std::unique_ptr<QProcess> g_wm;
std::unique_ptr<QProcess> g_panel;
QString g_display;

void fail(const char* what)
{
    std::fprintf(stderr, "window tests: %s\n", what);
}

// A window manager that follows the desktop conventions names its check window on the root window.
bool windowManagerRuns()
{
    QProcess props;
    props.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    props.waitForFinished(5000);
    return props.exitCode() == 0 && props.readAllStandardOutput().contains("window id");
}

// trayer maps its panel once it holds the display's tray selection.
bool panelShown()
{
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    tree.waitForFinished(5000);
    return tree.readAllStandardOutput().contains("(\"panel\" \"trayer\")");
}
} // namespace

namespace Desktop {

bool start()
{
    g_xvfb = std::make_unique<QProcess>();
    g_xvfb->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    g_display = startXvfb(*g_xvfb, QStringLiteral("Xvfb"), QStringLiteral("1280x1024x24"));
    if (g_display.isEmpty()) {
        fail("Xvfb did not start");
        return false;
    }
    qputenv("DISPLAY", g_display.toLocal8Bit());
    g_wm = std::make_unique<QProcess>();
    g_wm->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    g_wm->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!g_wm->waitForStarted(5000)) {
        fail("openbox did not start");
        return false;
    }
    for (int i = 0; i < 100 && !windowManagerRuns(); ++i)
        QThread::msleep(100);
    if (!windowManagerRuns()) {
        fail("openbox does not manage the display");
        return false;
    }
    g_panel = std::make_unique<QProcess>();
    g_panel->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    g_panel->start(QStringLiteral("trayer"),
                   {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--SetDockType"),
                    QStringLiteral("true"), QStringLiteral("--SetPartialStrut"), QStringLiteral("true")});
    if (!g_panel->waitForStarted(5000)) {
        fail("trayer did not start");
        return false;
    }
    for (int i = 0; i < 100 && !panelShown(); ++i)
        QThread::msleep(100);
    if (!panelShown()) {
        fail("trayer shows no panel");
        return false;
    }
    return true;
}

void stop()
{
    for (auto* process : {g_panel.get(), g_wm.get(), g_xvfb.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000))
                process->kill();
            process->waitForFinished(3000);
        }
    }
    g_panel.reset();
    g_wm.reset();
    g_xvfb.reset();
}

QString display()
{
    return g_display;
}

} // namespace Desktop
