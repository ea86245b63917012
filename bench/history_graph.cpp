// Drawing the latency graph of one address over a year from a full history file (a year of cycles
// every 30 minutes): each range drawn 20 times, the median and the slowest. Goal: the year under 200 ms.
#include "records/HistoryGraph.h"
#include "records/HistoryStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString key = QStringLiteral("10.0.0.1:机房/交换机");
    const std::time_t end = std::time(nullptr) / 300 * 300;
    std::mt19937 random(7);
    {
        HistoryStore store(dir.path());
        for (std::time_t t = end - 365 * 86400; t <= end; t += 1800) {
            HistorySample s;
            s.key = key;
            s.msecsSinceEpoch = qint64(t) * 1000;
            s.sent = 4;
            for (int k = 0; k < 4; ++k) {
                if (random() % 20 != 0)
                    s.roundTrips.push_back(20 + random() % 30);
            }
            s.lost = 4 - int(s.roundTrips.size());
            s.intervalSeconds = 1800;
            store.record(s);
        }
        store.waitUntilWritten();
    }
    const QString path = HistoryStore(dir.path()).filePath(key);
    for (const HistoryGraph::Range range : HistoryGraph::kRanges) {
        std::vector<double> ms;
        for (int i = 0; i < 20; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const HistoryGraph::Image image = HistoryGraph::draw(path, key, range, end);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (image.png.isEmpty()) {
                std::printf("not drawn: %s\n", qPrintable(image.error));
                return 1;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("graph %-3s: median %.1f ms, slowest %.1f ms of 20%s\n",
                    qPrintable(HistoryGraph::optionName(range)), ms[ms.size() / 2], ms.back(),
                    range == HistoryGraph::Range::Year ? " (goal: under 200 ms)" : "");
    }
    return 0;
}
