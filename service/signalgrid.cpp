#include "service/signalgrid.h"

#include "platform/grid.h"
#include "service/protocol.h"

namespace kelvo::service {

int signalRowCount(int system)
{
    switch (system) {
    case service::DailySystem:
        return 1;
    case service::HourlySystem:
        return 2;
    case service::BothSystems:
        return 3;
    default:
        return 0;
    }
}

void fillSignalRows(Grid& grid, int system, const QStringList& fields)
{
    for (int row = 1; row <= signalRowCount(system); ++row) {
        for (int col = 1; col <= 4; ++col) {
            if (const auto value = service::field(fields, 4 * (row - 1) + col))
                grid.setTextMatrix(row, col, *value);
        }
    }
}

} // namespace kelvo::service
