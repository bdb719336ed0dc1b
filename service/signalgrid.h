#pragma once

#include <QStringList>

namespace kelvo {
class Grid;
}

namespace kelvo::service {

// Puts the fields of a signal reply into the grid: field 4(r-1)+c goes to
// row r, column c, for the rows the trading system has. Cells whose field the
// reply lacks keep their text; nothing is ever cleared.
void fillSignalRows(Grid& grid, int system, const QStringList& fields);

// How many signal rows a trading system shows.
int signalRowCount(int system);

} // namespace kelvo::service
