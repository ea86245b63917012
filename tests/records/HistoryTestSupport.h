#pragma once

#include "records/HistoryStore.h"
#include "shared/HistorySink.h"

#include <QCoreApplication>
#include <QStringList>

#include <memory>

// The store's lines reach the pane through the event loop; these tests have none of their own.
inline void ensureCoreApplication()
{
    static int argc = 1;
    static char name[] = "history-test";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app = std::make_unique<QCoreApplication>(argc, argv);
}

// Writes the samples, waits until they are in, and returns the pane lines that came of them.
class StoreUnderTest {
public:
    explicit StoreUnderTest(const QString& folder)
    {
        ensureCoreApplication();
        m_store = std::make_unique<HistoryStore>(folder);
        QObject::connect(m_store.get(), &HistoryStore::lineForPane, [this](const QString& l) { lines << l; });
    }
    HistoryStore& store() { return *m_store; }
    void write(const std::vector<HistorySample>& samples)
    {
        for (const HistorySample& sample : samples)
            m_store->record(sample);
        m_store->cycleEnded();
        settle();
    }
    void settle()
    {
        m_store->waitUntilWritten();
        QCoreApplication::processEvents();
    }
    QStringList lines;

private:
    std::unique_ptr<HistoryStore> m_store;
};

// Cycles at a known time: t0 plus `step` seconds for each.
inline HistorySample sampleAt(const QString& key, qint64 seconds, std::vector<quint32> roundTrips, int sent,
                              int intervalSeconds = 300)
{
    HistorySample s;
    s.key = key;
    s.msecsSinceEpoch = seconds * 1000;
    s.lost = sent - int(roundTrips.size());
    s.roundTrips = std::move(roundTrips);
    s.sent = sent;
    s.intervalSeconds = intervalSeconds;
    return s;
}
