#pragma once

#include "shared/HistorySink.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

// The round-trip history: one round-robin file per entry key in one folder. The samples of a cycle
// are kept until it ends and then written on a thread of its own, so that neither a verdict nor the
// cycle waits for a disk (nor shares the processor with the writing); when the last of them is in,
// cycleWritten() says so (the graphs draw anew). record() and cycleEnded() belong to one thread.
// Cycles less than a step (5 minutes) apart are gathered and written as one when their step is over.
//
// A write that fails costs the history that sample and nothing else. A folder that cannot be
// written (read-only, full) gives one line when the failures begin, and another only after a cycle
// has been written without failure in between. A damaged file is renamed aside, with a line, and a new one begun.
class HistoryStore : public QObject, public HistorySink {
    Q_OBJECT
public:
    explicit HistoryStore(const QString& folder, QObject* parent = nullptr);
    ~HistoryStore() override; // writes what was handed in before, then ends its thread

    // The folder of the history in the program's folder.
    static QString folderIn(const QString& dataDir);

    QString folder() const { return m_folder; }
    QString filePath(const QString& key) const;

    void record(const HistorySample& sample) override;
    void cycleEnded() override;

    // Returns once every cycle ended so far is written (or has failed).
    void waitUntilWritten();

Q_SIGNALS:
    void lineForPane(const QString& line);
    void cycleWritten();

private:
    struct CycleEnd {};
    using Job = std::variant<HistorySample, CycleEnd>;

    void handOver(bool cycleEnd);
    void run();
    enum class Outcome { Written, Failed, Damaged };
    void take(const HistorySample& sample);
    void write(const HistorySample& sample);
    static std::time_t stepOf(const HistorySample& sample); // the end of the step it stands for
    Outcome writeOnce(const HistorySample& sample);
    // The time the file has been written up to; nullopt (and the failure reported) when it cannot be read.
    std::optional<std::time_t> lastWritten(const QString& key, const QString& path);
    bool setAside(const QString& path);
    void failed(const QString& where, const QString& reason);
    void post(const QString& line);

    const QString m_folder;
    std::vector<HistorySample> m_pending; // of the cycle under way
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stop = false;
    // Owned by the writing thread.
    QHash<QString, std::time_t> m_last;
    QHash<QString, HistorySample> m_gathering; // by key: the cycles of a step not yet over
    bool m_failing = false;                    // a failure has been told and no cycle has gone without one since
    bool m_failedInCycle = false;
    std::thread m_thread;
};
