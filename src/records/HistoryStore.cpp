#include "records/HistoryStore.h"

#include "records/HistoryFileName.h"
#include "records/HistoryValues.h"
#include "records/RrdFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <utility>

namespace {

std::time_t roundUpToStep(qint64 seconds)
{
    return std::time_t((seconds + RrdFile::kStep - 1) / RrdFile::kStep * RrdFile::kStep);
}

} // namespace

HistoryStore::HistoryStore(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_thread([this] { run(); })
{}

HistoryStore::~HistoryStore()
{
    handOver(false); // what a cycle cut short left
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

QString HistoryStore::folderIn(const QString& dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("history"));
}

QString HistoryStore::filePath(const QString& key) const
{
    return QDir(m_folder).filePath(HistoryFileName::fromKey(key));
}

void HistoryStore::record(const HistorySample& sample)
{
    if (!sample.key.isEmpty()) // a line without an address has no history
        m_pending.push_back(sample);
}

void HistoryStore::cycleEnded()
{
    handOver(true);
}

void HistoryStore::handOver(bool cycleEnd)
{
    {
        std::lock_guard lock(m_mutex);
        for (HistorySample& sample : m_pending)
            m_jobs.emplace_back(std::move(sample));
        if (cycleEnd)
            m_jobs.emplace_back(CycleEnd{});
    }
    m_pending.clear();
    m_wake.notify_one();
}

void HistoryStore::waitUntilWritten()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

void HistoryStore::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
        if (m_jobs.empty()) {
            // Stopped, and everything handed in is written but the steps still being gathered.
            lock.unlock();
            for (const HistorySample& gathered : std::as_const(m_gathering))
                write(gathered);
            return;
        }
        const Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        m_busy = true;
        lock.unlock();
        if (const auto* sample = std::get_if<HistorySample>(&job)) {
            take(*sample);
        } else {
            // A cycle without a failed write ends a run of failures: the next one is told again.
            m_failing = m_failedInCycle && m_failing;
            m_failedInCycle = false;
            QMetaObject::invokeMethod(this, &HistoryStore::cycleWritten, Qt::QueuedConnection);
        }
        lock.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}

void HistoryStore::take(const HistorySample& sample)
{
    // Cycles closer together than a step are gathered into one sample of that step, written once
    // the step is over: every cycle's round trips and losses count, none is dropped.
    const auto gathering = m_gathering.find(sample.key);
    if (sample.intervalSeconds > 0 && sample.intervalSeconds < RrdFile::kStep) {
        if (gathering == m_gathering.end()) {
            m_gathering.insert(sample.key, sample);
        } else if (stepOf(*gathering) == stepOf(sample)) {
            gathering->roundTrips.insert(gathering->roundTrips.end(), sample.roundTrips.begin(),
                                         sample.roundTrips.end());
            gathering->sent += sample.sent;
            gathering->lost += sample.lost;
        } else {
            write(std::exchange(*gathering, sample));
        }
        return;
    }
    if (gathering != m_gathering.end()) {
        write(*gathering);
        m_gathering.erase(gathering);
    }
    write(sample);
}

void HistoryStore::write(const HistorySample& sample)
{
    if (!QDir().mkpath(m_folder)) {
        failed(m_folder, QStringLiteral("无法创建文件夹"));
        return;
    }
    // A damaged file is set aside and the sample begins a new one.
    if (writeOnce(sample) == Outcome::Damaged && setAside(filePath(sample.key)))
        writeOnce(sample);
}

std::time_t HistoryStore::stepOf(const HistorySample& sample)
{
    return roundUpToStep(sample.msecsSinceEpoch / 1000);
}

HistoryStore::Outcome HistoryStore::writeOnce(const HistorySample& sample)
{
    const QString path = filePath(sample.key);
    const std::time_t t = stepOf(sample);
    QString error;
    std::optional<std::time_t> last = lastWritten(sample.key, path);
    if (!last)
        return Outcome::Failed;
    if (*last == 0) {
        if (!RrdFile::create(path, t - RrdFile::kStep, &error)) {
            failed(path, error);
            return Outcome::Failed;
        }
        *last = t - RrdFile::kStep;
    }
    // Cycles missed (the monitor paused or not running): that time stays unmeasured instead of
    // taking this cycle's values.
    const std::time_t interval = roundUpToStep(qMax(sample.intervalSeconds, RrdFile::kStep));
    bool written = true;
    if (sample.intervalSeconds > 0 && t - *last > 2 * interval)
        written = RrdFile::updateUnknown(path, t - interval, &error);
    written = written && RrdFile::update(path, t, HistoryValues::of(sample), &error);
    if (!written) {
        m_last.remove(sample.key);
        // A file that opens for writing and still cannot be written is damaged, unless the disk is
        // full (a copy-on-write file system needs room to change a file in place).
        QFile probe(path);
        const QStorageInfo disk(m_folder);
        const bool full = disk.isValid() && disk.bytesAvailable() < RrdFile::kMaxSize;
        if (!full && probe.open(QIODevice::ReadWrite))
            return Outcome::Damaged;
        failed(path, full ? QStringLiteral("磁盘空间不足") : error);
        return Outcome::Failed;
    }
    m_last[sample.key] = qMax(*last, t);
    return Outcome::Written;
}

std::optional<std::time_t> HistoryStore::lastWritten(const QString& key, const QString& path)
{
    if (const auto known = m_last.constFind(key); known != m_last.constEnd())
        return *known;
    if (!QFileInfo::exists(path))
        return 0;
    QString error;
    if (const std::optional<std::time_t> last = RrdFile::lastUpdate(path, &error))
        return *last;
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        failed(path, error);
        return std::nullopt;
    }
    probe.close();
    return setAside(path) ? std::optional<std::time_t>(0) : std::nullopt;
}

bool HistoryStore::setAside(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) && n < 100; ++n)
        aside = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (QFileInfo::exists(aside) || !QFile::rename(path, aside)) {
        failed(path, QStringLiteral("文件已损坏，且无法改名"));
        return false;
    }
    post(QStringLiteral("历史记录文件已损坏，已改名为%1，重新开始记录。").arg(QDir::toNativeSeparators(aside)));
    return true;
}

void HistoryStore::failed(const QString& where, const QString& reason)
{
    m_failedInCycle = true;
    if (m_failing)
        return;
    m_failing = true;
    post(QStringLiteral("历史记录写入失败（%1）：%2").arg(QDir::toNativeSeparators(where), reason));
}

void HistoryStore::post(const QString& line)
{
    QMetaObject::invokeMethod(
        this, [this, line] { Q_EMIT lineForPane(line); }, Qt::QueuedConnection);
}
