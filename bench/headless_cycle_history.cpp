// One ping cycle of the headless monitor over 10,000 addresses of 127.0.0.0/8 with four echo
// requests each, with the round-trip history kept and without, in the same run: what keeping it
// costs the cycle. The files are made in the first cycle (about 230 KB each, 2.3 GB in all, in a
// temporary folder); the cycle measured is the second, whose samples are written while it runs.
// Sends only to loopback; bounded in count.
#include "BenchSupport.h"
#include "app/HistoryControl.h"
#include "app/TfrmTarnwick.h"
#include "records/HistoryStore.h"

#include <QApplication>

#include <chrono>
#include <cstdio>

namespace {

constexpr int kAddresses = 10000;

struct Measured {
    double cycle = 0;   // wall seconds of the cycle, from Ping to "Ping结束。"
    double cpu = 0;     // CPU seconds of the process during it
    double written = 0; // wall seconds until its last sample was in the files
};

Measured secondCycle(bool keepHistory)
{
    Bench::HeadlessFolder folder;
    folder.writeLoopbackList(kAddresses, [](int i) { return "bench-" + QByteArray::number(i); });
    AppContext context = folder.context();
    context.keepHistory = keepHistory;
    TfrmTarnwick window(context);
    window.FormCreate(); // the first cycle, which makes the files
    window.history().store().waitUntilWritten();

    Measured m;
    const double cpu = Bench::cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    window.bbPingClick();
    m.cycle = Bench::secondsSince(start);
    m.cpu = Bench::cpuSeconds() - cpu;
    window.history().store().waitUntilWritten();
    m.written = Bench::secondsSince(start);
    const int files = QDir(HistoryStore::folderIn(folder.path())).entryList(QDir::Files).size();
    std::printf("  history %s: cycle %.3f s wall, %.3f s CPU; all written after %.3f s; %d files\n",
                keepHistory ? "on " : "off", m.cycle, m.cpu, m.written, files);
    std::fflush(stdout);
    return m;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("headless cycle of %d loopback addresses x 4 echo requests, the second cycle of each monitor:\n",
                kAddresses);
    const Measured off = secondCycle(false);
    const Measured on = secondCycle(true);
    std::printf("history on / off: cycle %.2fx wall, %.2fx CPU; until written %.2fx (goal: the cycle within 1.2x)\n",
                on.cycle / off.cycle, on.cpu / off.cpu, on.written / off.cycle);
    return 0;
}
