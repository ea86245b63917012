#include "app/AppOptions.h"
#include "app/MonitorApplication.h"
#include "app/Prompter.h"
#include "app/TfrmTarnwick.h"
#include "platform/TerminationSignals.h"
#include "records/ReportCommand.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <memory>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool hasDisplay()
{
#if defined(Q_OS_LINUX)
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

// Without a desktop session (a service, a cron job) there is no runtime folder, and Qt would say so
// on standard error, where the headless monitor's message boxes go; give it a private one.
void providePrivateRuntimeDir()
{
#if defined(Q_OS_UNIX)
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray dir = QByteArray("/tmp/runtime-") + QByteArray::number(uint(::getuid()));
    ::mkdir(dir.constData(), 0700);
    struct stat info {};
    if (::stat(dir.constData(), &info) == 0 && info.st_uid == ::getuid() && (info.st_mode & 0777) == 0700)
        qputenv("XDG_RUNTIME_DIR", dir);
#endif
}

void printLine(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString dataDirOf(const AppOptions& options)
{
    return options.dataDir.isEmpty() ? QCoreApplication::applicationDirPath() : QDir(options.dataDir).absolutePath();
}

// --report: the lines of one alarm report, for scripts; the monitor itself does not start.
int printReport(const AppOptions& options)
{
    QTextStream out(stdout);
    const ReportCommandResult result =
        runReportCommand(dataDirOf(options), options.reportPeriod, options.reportAddress, out);
    out.flush();
    if (result.exitCode != 0)
        std::fputs((result.errorText + u'\n').toUtf8().constData(), stderr);
    return result.exitCode;
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString error;
    std::optional<AppOptions> options = AppOptions::parse(arguments, &error);
    if (!options) {
        std::fputs((error + u'\n' + AppOptions::usage()).toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (!options->reportPeriod.isEmpty()) {
        // The report needs no window; the core application knows the program's folder.
        QCoreApplication core(argc, argv);
        return printReport(*options);
    }

    const bool headless = options->headless || !hasDisplay();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (headless)
        providePrivateRuntimeDir();

    MonitorApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarnwicker"));
    QApplication::setQuitOnLastWindowClosed(false);

    AppContext context;
    context.dataDir = dataDirOf(*options);
    QDir().mkpath(context.dataDir);
    context.headless = headless;
    context.modems = options->modems;
    std::unique_ptr<Prompter> prompter;
    if (headless)
        prompter = std::make_unique<StreamPrompter>();
    else
        prompter = std::make_unique<WidgetPrompter>();
    context.prompter = prompter.get();

    TerminationSignals terminationSignals;
    auto window = std::make_unique<TfrmTarnwick>(context);
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
    window->FormCreate();

    if (options->testMail && !window->terminationRequested()) {
        window->BitBtn2Click();
        window->requestTermination();
    }
    if (!window->terminationRequested()) {
        if (!headless)
            window->show();
        app.exec();
    }
    window->FormDestroy();
    app.setErrorSink({});
    window.reset();
    return 0;
}
