#pragma once

#include "DataFolder.h"
#include "QtPrinters.h"
#include "app/Prompter.h"
#include "app/TfrmTarnwick.h"
#include "platform/CodePage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The monitor's window on the test desktop, with its real dialogs, started on a data folder of the
// test's own and driven with xdotool: the pointer and the keys come through the X server as an
// operator's do.
class DesktopWindowFixture : public ::testing::Test, protected DataFolder {
protected:
    // Starts the window on the data folder, shows it and waits until the window manager has given
    // it the input focus. Start-up pings the address list with the monitor's own probe, so the
    // list a test writes holds loopback addresses only.
    TfrmTarnwick& start()
    {
        AppContext context;
        context.dataDir = dataDir;
        context.prompter = &prompter;
        context.alarmPort = 0;
        context.autostartLocation = path(QStringLiteral("autostart"));
        window = std::make_unique<TfrmTarnwick>(context);
        prompter.setParent(window.get());
        window->FormCreate();
        window->show();
        EXPECT_TRUE(waitFor([&] { return window->isActiveWindow(); }, 10000)) << "the window never got the focus";
        return *window;
    }

    // Handles events until the condition holds or the time is up.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    // Runs xdotool with the arguments and handles events until it has finished, so that the
    // window (or a dialog's own event loop) sees what it sends as it comes.
    static bool xdotool(const QStringList& arguments)
    {
        QProcess xdo;
        xdo.start(QStringLiteral("xdotool"), arguments);
        if (!xdo.waitForStarted(5000))
            return false;
        waitFor([&] { return xdo.state() == QProcess::NotRunning; }, 10000);
        return xdo.exitStatus() == QProcess::NormalExit && xdo.exitCode() == 0;
    }

    // A left click in the middle of the widget.
    static bool click(QWidget* widget)
    {
        const QPoint at = widget->mapToGlobal(widget->rect().center());
        return xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
                        QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
    }

    // Types the text into whatever has the focus, then presses Return.
    static bool typeAndEnter(const QString& text)
    {
        return xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text}) &&
               xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    }

    // Runs the handler once with the first file dialog that opens, inside the dialog's own event
    // loop, once the window manager has given the dialog the focus. A dialog that does not get it
    // within ten seconds is rejected, so that the test fails instead of waiting for ever.
    template <typename Handler>
    void onFileDialog(Handler handler)
    {
        auto* poll = new QTimer(window.get());
        poll->setInterval(50);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, handler] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            const QString id = QString::number(dialog->winId());
            if (!xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id}) ||
                !waitFor([dialog] { return dialog->isActiveWindow(); }, 10000)) {
                ADD_FAILURE() << "the file dialog never got the focus";
                dialog->reject();
                return;
            }
            handler(dialog);
        });
        poll->start();
    }

    // The file names the dialog lists in its folder, once it has read the folder.
    static QStringList listedFiles(QFileDialog* dialog)
    {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        QStringList names;
        waitFor(
            [&] {
                names.clear();
                const QAbstractItemModel* model = view ? view->model() : nullptr;
                for (int row = 0; model && row < model->rowCount(view->rootIndex()); ++row)
                    names << model->index(row, 0, view->rootIndex()).data().toString();
                return !names.isEmpty();
            },
            3000);
        return names;
    }

    WidgetPrompter prompter;
    std::unique_ptr<TfrmTarnwick> window;
};
