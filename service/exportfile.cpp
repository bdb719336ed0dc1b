#include "service/exportfile.h"

#include "platform/filesave.h"
#include "service/protocol.h"

#include <QDir>

namespace kelvo::service {

QString exportFilePath(const QString& folder, const QString& fileName)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator()))
        return folder + fileName;
    return folder + QDir::separator() + fileName;
}

std::optional<QByteArray> exportLine(const QStringList& fields, int firstField,
                                     const QString& lastUpdate, TextEncoding encoding)
{
    QString line;
    for (int number = firstField; number < firstField + 4; ++number) {
        const auto value = service::field(fields, number);
        if (!value)
            return std::nullopt;
        line += *value + QLatin1Char(',');
    }
    line += lastUpdate + QStringLiteral("\r\n");
    return encodeAsReceived(line, encoding);
}

QList<ExportJob> exportJobs(int system)
{
    const QString daily = QLatin1String(kDailyFile);
    const QString hourly = QLatin1String(kHourlyFile);
    switch (system) {
    case service::DailySystem:
        return {{daily, 1}};
    case service::HourlySystem:
        return {{hourly, 1}};
    case service::BothSystems:
        return {{daily, 9}, {hourly, 1}};
    default:
        return {};
    }
}

QList<ExportResult> writeExports(const QString& folder, int system, const QStringList& fields,
                                 const QString& lastUpdate, TextEncoding encoding)
{
    QList<ExportResult> results;
    for (const ExportJob& job : exportJobs(system)) {
        ExportResult result{exportFilePath(folder, job.fileName), ExportResult::Written, {}};
        if (const auto line = exportLine(fields, job.firstField, lastUpdate, encoding)) {
            if (const auto failure = writeFileAtomically(result.path, *line)) {
                result.outcome = ExportResult::Failed;
                result.error = *failure;
            }
        } else {
            result.outcome = ExportResult::SkippedShortReply;
        }
        results.append(result);
    }
    return results;
}

std::optional<ExportFailure> exportFailure(const QList<ExportResult>& results)
{
    ExportFailure failure;
    bool written = false;
    for (const ExportResult& result : results) {
        if (result.outcome == ExportResult::Failed) {
            failure.failed = true;
            failure.details += (failure.details.isEmpty() ? QString() : QStringLiteral("\n")) +
                               result.path + QStringLiteral(": ") + result.error;
        }
        written = written || result.outcome == ExportResult::Written;
    }
    if (!failure.failed && !written)
        return std::nullopt;
    return failure;
}

} // namespace kelvo::service
