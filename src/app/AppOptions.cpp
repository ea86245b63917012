#include "app/AppOptions.h"

std::optional<AppOptions> AppOptions::parse(const QStringList& arguments, QString* error)
{
    AppOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("%1 needs a value").arg(arg);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (arg == QStringLiteral("--data-dir")) {
            const auto dir = value();
            if (!dir)
                return std::nullopt;
            options.dataDir = *dir;
        } else if (arg == QStringLiteral("--headless")) {
            options.headless = true;
        } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            options.help = true;
        } else if (arg == QStringLiteral("--version")) {
            options.version = true;
        } else if (arg == QStringLiteral("--test-mail")) {
            options.testMail = true;
        } else if (arg == QStringLiteral("--cycles")) {
            const auto count = value();
            if (!count)
                return std::nullopt;
            bool ok = false;
            options.cycles = count->toInt(&ok);
            if (!ok || options.cycles < 1) {
                *error = QStringLiteral("--cycles needs a positive number, not %1").arg(*count);
                return std::nullopt;
            }
        } else if (arg == QStringLiteral("--report")) {
            const auto period = value();
            if (!period)
                return std::nullopt;
            options.reportPeriod = *period;
        } else if (arg == QStringLiteral("--address")) {
            const auto address = value();
            if (!address)
                return std::nullopt;
            options.reportAddress = *address;
        } else if (arg == QStringLiteral("--graph") || arg == QStringLiteral("--range") ||
                   arg == QStringLiteral("--out")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            QString& field = arg == QStringLiteral("--graph")   ? options.graphKey
                             : arg == QStringLiteral("--range") ? options.graphRange
                                                                : options.graphOut;
            field = *text;
        } else if (arg == QStringLiteral("--metrics")) {
            const auto endpoint = value();
            if (!endpoint)
                return std::nullopt;
            options.metrics = MetricsEndpoint::parse(*endpoint);
            if (!options.metrics) {
                *error = QStringLiteral("--metrics needs [ADDRESS:]PORT, not %1").arg(*endpoint);
                return std::nullopt;
            }
        } else if (arg == QStringLiteral("--modem")) {
            const auto path = value();
            if (!path)
                return std::nullopt;
            options.modems.append(*path);
        } else {
            *error = QStringLiteral("unknown option: %1").arg(arg);
            return std::nullopt;
        }
    }
    if (options.reportPeriod.isEmpty() != options.reportAddress.isEmpty()) {
        *error = QStringLiteral("--report and --address go together");
        return std::nullopt;
    }
    const int graphParts =
        int(!options.graphKey.isEmpty()) + int(!options.graphRange.isEmpty()) + int(!options.graphOut.isEmpty());
    if (graphParts != 0 && graphParts != 3) {
        *error = QStringLiteral("--graph, --range and --out go together");
        return std::nullopt;
    }
    return options;
}

QString AppOptions::usage()
{
    return QStringLiteral(
        "usage: tarnwicker [--data-dir DIR] [--headless] [--test-mail] [--cycles N] [--modem PATH]...\n"
        "                  [--metrics [ADDRESS:]PORT]\n"
        "       tarnwicker [--data-dir DIR] --report history|today|month|year --address KEY\n"
        "       tarnwicker [--data-dir DIR] --graph KEY --range 3h|30h|10d|1y --out FILE.png\n"
        "       tarnwicker --help | --version\n"
        "  --data-dir DIR  the program's folder (Para.ini, lists, logs);\n"
        "                  default: the executable's folder\n"
        "  --headless      no window: information lines to standard output, message boxes to\n"
        "                  standard error with their default answer\n"
        "  --test-mail     send the test mail once after start-up, then end\n"
        "  --cycles N      end once N ping cycles have ended\n"
        "  --modem PATH    a serial device to offer as a telephone line besides the ports found\n"
        "  --metrics [ADDRESS:]PORT\n"
        "                  serve the monitor's state to Prometheus at GET /metrics on PORT of\n"
        "                  127.0.0.1, or of ADDRESS when named; 0: not at all\n"
        "  --report P      print the alarm report of period P for the address key of --address\n"
        "                  (the lines the report pane would show) without starting the monitor\n"
        "  --graph KEY     draw the latency graph of the entry key KEY from the history\n"
        "                  (the folder history of the program's folder) without starting the monitor\n"
        "  --range R       its range: 3h, 30h, 10d or 1y\n"
        "  --out FILE      the PNG file to write\n"
        "  --help, -h      print this text\n"
        "  --version       print the version\n");
}
