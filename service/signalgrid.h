#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kelvo::service {

// One row of signals as the grid shows it: the trading system it belongs to
// ("Hourly Regular") and its four cells: position, date, time, entry price.
struct SignalRow {
    QString title;
    QStringList cells;

    bool operator==(const SignalRow&) const = default;
};
using SignalRows = QList<SignalRow>;

// The rows a trading system shows, titled, every cell empty.
SignalRows emptySignalRows(int system);

// Puts the fields of a signal reply into the rows: field 4(r-1)+c goes to
// row r, cell c. Cells whose field the reply lacks keep their text; nothing
// is ever cleared.
void fillSignalRows(SignalRows& rows, const QStringList& fields);

} // namespace kelvo::service
