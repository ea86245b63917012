#include "app/AppOptions.h"
#include "app/DisplayChoice.h"
#include "app/MonitorApplication.h"
#include "app/Prompter.h"
#include "app/QtTranslations.h"
#include "app/TfrmTarnwick.h"
#include "monitor/IcmpAccess.h"
#include "platform/AppError.h"
#include "platform/MonitorLock.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationFlag.h"
#include "platform/TerminationSignals.h"
#include "platform/TerminationWatchdog.h"
#include "records/GraphCommand.h"
#include "records/HistoryStore.h"
#include "records/ReportCommand.h"
#include "sound/DefaultAlarmSound.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {

void printLine(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ProgramFolder programFolderOf(const AppOptions& options)
{
    return ProgramFolder::choose(options.dataDir, QCoreApplication::applicationDirPath());
}

// Said before anything else: where the files are, when it is not the usual folder, and why no
// address can answer, when this process may not ping.
void addStartupNotices(TfrmTarnwick& window, const ProgramFolder& folder)
{
    if (const QString notice = folder.notice(); !notice.isEmpty())
        window.AddInfo(notice);
    if (const auto notice = IcmpAccess::startupNotice(QCoreApplication::applicationFilePath())) {
        window.AddInfo(*notice);
        std::fputs((*notice + u'\n').toUtf8().constData(), stderr);
    }
}

// --report: the lines of one alarm report, for scripts; the monitor itself does not start.
int printReport(const AppOptions& options)
{
    QTextStream out(stdout);
    const ReportCommandResult result =
        runReportCommand(programFolderOf(options).path(), options.reportPeriod, options.reportAddress, out);
    out.flush();
    if (result.exitCode != 0)
        std::fputs((result.errorText + u'\n').toUtf8().constData(), stderr);
    return result.exitCode;
}

// How long a second start waits for the folder's running monitor to answer.
constexpr int kShowAnswerMs = 10'000;

// A monitor already runs on the folder. A start with a window brings that monitor's window up and
// ends; one without a window (or a running monitor without one) says so and ends with status 1.
int otherMonitorRuns(const MonitorLock& lock, const QString& folder, bool mayShow)
{
    if (mayShow) {
        const MonitorLock::Answer answer = MonitorLock::askToShow(folder, kShowAnswerMs);
        if (answer == MonitorLock::Answer::Shown || answer == MonitorLock::Answer::Asked)
            return 0;
    }
    std::fputs((MonitorLock::alreadyRunningText(folder, lock.holderPid()) + u'\n').toUtf8().constData(), stderr);
    return 1;
}

// --graph: the latency graph of one address from the history, for servers and scripts.
int drawGraph(const AppOptions& options)
{
    const QString folder = HistoryStore::folderIn(programFolderOf(options).path());
    const GraphCommandResult result = runGraphCommand(folder, options.graphKey, options.graphRange, options.graphOut);
    if (result.exitCode != 0)
        std::fputs((result.errorText + u'\n').toUtf8().constData(), stderr);
    return result.exitCode;
}

} // namespace

int main(int argc, char* argv[])
{
    // A termination signal from the first moment on waits for its handler instead of ending the
    // process without its log.
    TerminationSignals::blockUntilInstalled();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString error;
    std::optional<AppOptions> options = AppOptions::parse(arguments, &error);
    if (!options) {
        std::fputs((error + u'\n' + AppOptions::usage()).toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (options->help || options->version) {
        const QString text = options->help ? AppOptions::usage() : QStringLiteral("tarnwicker " TW_VERSION "\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options->reportPeriod.isEmpty()) {
        TerminationSignals::restoreDefault();
        // The report needs no window; the core application knows the program's folder.
        QCoreApplication core(argc, argv);
        return printReport(*options);
    }

    if (!options->graphKey.isEmpty()) {
        TerminationSignals::restoreDefault();
        QCoreApplication core(argc, argv);
        return drawGraph(*options);
    }

    DisplayChoice display(options->headless);
    MonitorApplication app(argc, argv);
    const bool headless = display.settle();
    QApplication::setApplicationName(QStringLiteral("tarnwicker"));
    QApplication::setQuitOnLastWindowClosed(false);
    QtTranslations::install(app);
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwicker")); // the entry whose icon the desktop shows

    const ProgramFolder folder = programFolderOf(*options);
    try {
        folder.prepare();
    } catch (const AppError& e) {
        std::fputs((e.text() + u'\n').toUtf8().constData(), stderr);
    }
    // Taken before the alarm port is opened: a second monitor on the folder would fail on it.
    MonitorLock lock(folder.path());
    const MonitorLock::State lockState = lock.acquire();
    if (lockState == MonitorLock::State::HeldByOther)
        return otherMonitorRuns(lock, folder.path(), !headless && !options->testMail);
    // A folder without an alarm sound gets the program's own, so that the sound alarm is heard.
    DefaultAlarmSound::seed(folder.path(), DefaultAlarmSound::installedFiles(QCoreApplication::applicationDirPath()));
    AppContext context;
    context.dataDir = folder.path();
    context.headless = headless;
    context.modems = options->modems;
    context.metrics = options->metrics;
    std::unique_ptr<Prompter> prompter;
    if (headless)
        prompter = std::make_unique<StreamPrompter>();
    else
        prompter = std::make_unique<WidgetPrompter>();
    context.prompter = prompter.get();

    TerminationFlag termination;
    context.termination = &termination;
    auto window = std::make_unique<TfrmTarnwick>(context);
    TerminationSignals terminationSignals(termination);
    TerminationWatchdog watchdog;
    QObject::connect(window.get(), &TfrmTarnwick::terminationStarted, &app, [&watchdog] { watchdog.arm(); });
    if (auto* widgetPrompter = dynamic_cast<WidgetPrompter*>(prompter.get()))
        widgetPrompter->setParent(window.get());
    if (headless)
        QObject::connect(&window->pane(), &InfoPane::lineAdded, &app, printLine);
    // Connected before start-up: a signal during the first ping cycle already ends the monitor.
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, window.get(),
                     &TfrmTarnwick::requestTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, window.get(), &TfrmTarnwick::requestTermination);
    app.setErrorSink([&window](const QString& text) { window->showError(text); });
    window->setCycleLimit(options->cycles);
    if (lockState == MonitorLock::State::Held && lock.listen(headless))
        QObject::connect(&lock, &MonitorLock::showRequested, window.get(), &TfrmTarnwick::N2Click);
    addStartupNotices(*window, folder);
    // A test mail ends the monitor before its window would be of use, so it never shows.
    const bool shown = !headless && !options->testMail;
    window->FormCreate(shown ? TfrmTarnwick::Showing::BeforeFirstCycle : TfrmTarnwick::Showing::Hidden);

    if (options->testMail && !window->terminationRequested()) {
        window->BitBtn2Click();
        window->requestTermination();
    }
    if (!window->terminationRequested())
        app.exec();
    // The loop has ended: what is left is writing the log, which is not cut short.
    watchdog.disarm();
    window->FormDestroy();
    app.setErrorSink({});
    window.reset();
    return 0;
}
