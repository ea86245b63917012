#pragma once

#include "AnsweringProbe.h"
#include "DataFolder.h"
#include "FakePrompter.h"
#include "QtPrinters.h"
#include "app/TfrmTarnwick.h"
#include "platform/CodePage.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <memory>

// A data folder with the files a test gives, and the window started on it, shown offscreen so that
// focus moves like an operator's.
class WindowFixture : public ::testing::Test, protected DataFolder {
protected:
    TfrmTarnwick& start()
    {
        AppContext context;
        context.dataDir = dataDir;
        context.prompter = &prompter;
        context.headless = true;
        context.probe = realProbe ? nullptr : &probe;
        context.messenger = messenger;
        context.modems = modems;
        context.alarmPort = alarmPort;
        context.autostartLocation = path(QStringLiteral("autostart"));
        window = std::make_unique<TfrmTarnwick>(context);
        window->FormCreate();
        window->show();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
        return *window;
    }

    // Puts the focus into a control, as a click or Tab would, and then moves it on to the Ping button.
    void enter(QWidget* control) { control->setFocus(Qt::TabFocusReason); }
    void leave() { window->ui().bbPing->setFocus(Qt::TabFocusReason); }

    QString setting(const QString& section, const QString& key) { return window->settings().read(section, key); }
    QStringList paneLines() { return window->pane().info().lines(); }

    FakePrompter prompter;
    AnsweringProbe probe;
    bool realProbe = false;               // the monitor's own echo probes instead of the answering one
    MessengerSender* messenger = nullptr; // null: Samba's client
    // Window tests run beside each other and beside monitors on the alarm port: by default the
    // listener binds a port the system chooses.
    std::optional<int> alarmPort = 0;
    QStringList modems; // serial devices offered as telephone lines
    std::unique_ptr<TfrmTarnwick> window;
};
