#include "service/signalgrid.h"

#include "platform/grid.h"
#include "service/protocol.h"

namespace kelvo::signalgrid {

int signalRowCount(int system)
{
    switch (system) {
    case protocol::DailySystem:
        return 1;
    case protocol::HourlySystem:
        return 2;
    case protocol::BothSystems:
        return 3;
    default:
        return 0;
    }
}

void fillSignalRows(Grid& grid, int system, const QStringList& fields)
{
    for (int row = 1; row <= signalRowCount(system); ++row) {
        for (int col = 1; col <= 4; ++col) {
            if (const auto value = protocol::field(fields, 4 * (row - 1) + col))
                grid.setTextMatrix(row, col, *value);
        }
    }
}

} // namespace kelvo::signalgrid
