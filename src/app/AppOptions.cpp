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
        } else if (arg == QStringLiteral("--test-mail")) {
            options.testMail = true;
        } else {
            *error = QStringLiteral("unknown option: %1").arg(arg);
            return std::nullopt;
        }
    }
    return options;
}

QString AppOptions::usage()
{
    return QStringLiteral("usage: tarnwicker [--data-dir DIR] [--headless] [--test-mail]\n"
                          "  --data-dir DIR  the program's folder (Para.ini, lists, logs); default: the executable's\n"
                          "  --headless      no window: information lines to standard output, message boxes to\n"
                          "                  standard error with their default answer\n"
                          "  --test-mail     send the test mail once after start-up, then end\n");
}
