#include "app/HistoryControl.h"

#include "app/HistoryWindow.h"
#include "records/HistoryStore.h"

#include <QWidget>

HistoryControl::HistoryControl(QWidget* mainWindow, const QString& dataDir, Host host)
    : m_mainWindow(mainWindow)
    , m_host(std::move(host))
    , m_store(std::make_unique<HistoryStore>(HistoryStore::folderIn(dataDir)))
{
    QObject::connect(m_store.get(), &HistoryStore::lineForPane, m_mainWindow,
                     [this](const QString& line) { m_host.addInfo(line); });
    QObject::connect(m_store.get(), &HistoryStore::cycleWritten, m_mainWindow, [this] {
        if (m_window && m_window->isVisible())
            m_window->redraw();
    });
}

HistoryControl::~HistoryControl() = default;

void HistoryControl::record(const HistorySample& sample)
{
    HistorySample withInterval = sample;
    withInterval.intervalSeconds = m_host.intervalSeconds();
    m_store->record(withInterval);
}

void HistoryControl::cycleEnded()
{
    m_store->cycleEnded();
}

void HistoryControl::showGraph(const QString& key)
{
    if (!m_window) {
        m_window =
            new HistoryWindow([store = m_store.get()](const QString& k) { return store->filePath(k); }, m_mainWindow);
        m_window->resize(760, 380);
    }
    m_window->showFor(key);
}
