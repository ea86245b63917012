// Appending lines to the information pane with AddInfo, with the window's pane view showing it, and
// saving them to a log file: time, and peak memory with a million lines in the pane.
#include "app/PaneView.h"
#include "records/InfoPane.h"
#include "records/PaneFiles.h"
#include "shared/TimeStamp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QString verdictLine(int i)
{
    return TimeStamp::prefix() + QStringLiteral("10.0.%1.%2:机房交换机%3网络正常！网络质量：100%,平均RTT：%4ms")
                                     .arg(i / 250 % 250)
                                     .arg(i % 250)
                                     .arg(i % 50)
                                     .arg(i % 700);
}

void appendLines(InfoPane& pane, int from, int to)
{
    for (int i = from; i < to; ++i)
        pane.addInfo(verdictLine(i));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InfoPane pane;
    PaneView view;
    view.setModel(&pane.info());
    view.resize(540, 380);
    view.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    appendLines(pane, 0, 100000);
    view.scrollToBottom();
    QApplication::processEvents();
    const double appendS = timer.nsecsElapsed() / 1e9;

    QTemporaryDir dir;
    timer.restart();
    const QString path = PaneFiles::logFilePath(dir.path(), QDateTime::currentDateTime());
    PaneFiles::write(path, pane.info());
    const double saveS = timer.nsecsElapsed() / 1e9;

    appendLines(pane, 100000, 1000000);
    view.scrollToBottom();
    QApplication::processEvents();
    timer.restart();
    view.scrollToTop();
    QApplication::processEvents();
    view.scrollToBottom();
    QApplication::processEvents();
    const double scrollS = timer.nsecsElapsed() / 1e9;

    std::printf("append 100,000 lines with AddInfo (view attached): %.3f s (goal < 1 s)\n", appendS);
    std::printf("save 100,000 lines to a GBK log file:              %.3f s (goal < 0.5 s)\n", saveS);
    std::printf("pane of %lld lines: peak memory %.1f MB (goal < 200 MB); scroll top and bottom %.3f s\n",
                static_cast<long long>(pane.info().count()), peakKb() / 1024.0, scrollS);
    return 0;
}
