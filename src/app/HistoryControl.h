#pragma once

#include "app/HistoryWindow.h"
#include "shared/HistorySink.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class HistoryStore;
class QWidget;

// The round-trip history in the monitor: the store the ping cycle hands its samples to (told the
// time between cycles as it stands on screen), its lines into the information pane, and the graph
// window, opened for one address and drawn anew after every cycle.
class HistoryControl : public HistorySink {
public:
    struct Host {
        std::function<int()> intervalSeconds;
        std::function<void(const QString&)> addInfo;
    };

    HistoryControl(QWidget* mainWindow, const QString& dataDir, Host host);
    ~HistoryControl() override;

    void record(const HistorySample& sample) override;
    void cycleEnded() override;

    // Opens (or brings forward) the graph window for the entry key.
    void showGraph(const QString& key);

    HistoryStore& store() { return *m_store; }
    HistoryWindow* window() const { return m_window; }

private:
    QWidget* m_mainWindow;
    Host m_host;
    std::unique_ptr<HistoryStore> m_store;
    QPointer<HistoryWindow> m_window;
};
