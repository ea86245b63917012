#include "records/ReportCommand.h"

#include "platform/AppError.h"
#include "records/AlarmReports.h"

ReportCommandResult runReportCommand(const QString& dataDir, const QString& period, const QString& addressKey,
                                     QTextStream& out, QDate today)
{
    const std::optional<AlarmReports::Period> parsed = AlarmReports::periodFromName(period);
    if (!parsed) {
        return {2, QStringLiteral("unknown report period \"%1\": use history, today, month or year").arg(period)};
    }
    ReportCommandResult result;
    try {
        AlarmReports::buildReport(dataDir, AlarmReports::periodBounds(*parsed, today), addressKey,
                                  [&out](const QString& line) { out << line << '\n'; });
    } catch (const AppError& error) {
        result = {1, error.text()};
    }
    out.flush();
    return result;
}
