#include "service/signalgrid.h"

#include "service/protocol.h"

namespace kelvo::service {

SignalRows emptySignalRows(int system)
{
    QStringList titles;
    switch (system) {
    case service::BothSystems:
        titles = {QStringLiteral("Hourly Regular"), QStringLiteral("Hourly Filtered"),
                  QStringLiteral("Daily System")};
        break;
    case service::HourlySystem:
        titles = {QStringLiteral("Hourly Regular"), QStringLiteral("Hourly Filtered")};
        break;
    case service::DailySystem:
        titles = {QStringLiteral("Daily System")};
        break;
    default:
        break;
    }
    SignalRows rows;
    for (const QString& title : titles)
        rows.append({title, QStringList(4)});
    return rows;
}

void fillSignalRows(SignalRows& rows, const QStringList& fields)
{
    for (int row = 1; row <= rows.size(); ++row) {
        for (int col = 1; col <= 4; ++col) {
            if (const auto value = service::field(fields, 4 * (row - 1) + col))
                rows[row - 1].cells[col - 1] = *value;
        }
    }
}

} // namespace kelvo::service
