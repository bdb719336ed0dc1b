#pragma once

// The History window: the journal of events newest first, and a strip per
// system row of its position over the last 30 days.

#include "service/journal.h"

#include <QWidget>
#include <memory>

namespace kelvo {

class Clock;

// One stretch of a system row's position, as the strip draws it.
struct PositionSpan {
    QDateTime from; // UTC
    QDateTime to;
    QString position; // Long, Short, Flat
    qsizetype change; // the entry that tells of it

    bool operator==(const PositionSpan&) const = default;
};

// When a change happened: its signal's date and time (UTC) where they read
// as such, else the time it was journalled.
QDateTime changeTime(const service::JournalEntry& entry);
// A change in a line: "Daily System: Long -> Short at 1.0801 (2026-12-07 17:00)".
QString changeText(const service::JournalEntry& entry);
// The positions of `row` between `from` and `to`, in time order, from the
// journal's entries (oldest first). A change's previous position covers the
// time back to its journal's first entry; before that nothing is known.
QList<PositionSpan> positionSpans(const QList<service::JournalEntry>& entries, const QString& row,
                                  const QDateTime& from, const QDateTime& to);

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // systemRows: the titles of the logged-in system's rows, in grid order.
    HistoryWindow(service::Journal& journal, const QStringList& systemRows,
                  std::shared_ptr<Clock> clock, QWidget* parent = nullptr);
};

} // namespace kelvo
