#pragma once

#include "service/signalgrid.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace kelvo {
class Clock;
}

namespace kelvo::service {

// What the journal, Kelvo-History.csv in the start folder, says of one event.
struct JournalEntry {
    QDateTime utc;  // when it happened, in UTC
    QString event;  // change, silent, answering, login_refused, export_failed, alert_failed
    QString system; // the system row ("Daily System"), for a change
    QString position;
    QString signalDate;
    QString signalTime;
    QString entryPrice;
    QString previousPosition;
    QString detail; // a line of text: why, since when

    bool operator==(const JournalEntry&) const = default;
};

inline constexpr char kJournalFileName[] = "Kelvo-History.csv";
inline constexpr char kJournalOldFileName[] = "Kelvo-History.1.csv";
// Past this size the journal is moved aside to the old file and starts anew.
inline constexpr qint64 kJournalRotateBytes = 10 * 1000 * 1000;

// The header line, and an entry's line, each ending in CR LF. local: the
// entry's time as the machine's clock showed it.
QByteArray journalHeader();
QByteArray journalLine(const JournalEntry& entry, const QDateTime& local);
// A field as a spreadsheet reads it safely: quoted where it holds a comma, a
// quote or a line break, and led by ' where it begins as a formula would
// (=, +, -, @, a tab or CR) and is not a number.
QString csvField(const QString& text);
// The entries of a journal's bytes, oldest first; lines that are not an
// entry (the header, a line cut short) are passed over.
QList<JournalEntry> parseJournal(const QByteArray& bytes);
// A change entry for each row whose position differs from the same row's
// before (not yet stamped with a time).
QList<JournalEntry> changeEntries(const SignalRows& previous, const SignalRows& current);

// The journal of the start folder: each entry appended at once (open,
// append, close), never rewritten. Lines that cannot be written (a file held
// open, a full disk) wait in memory and go with the next entry, or at the
// next flush() a minute on; none is lost while the program runs.
class Journal : public QObject {
    Q_OBJECT
public:
    explicit Journal(std::shared_ptr<Clock> clock, QObject* parent = nullptr);

    // The folder the journal is kept in; the current one until set.
    void setFolder(const QString& folder);
    QString path() const;
    // Stamps the entry with the clock's time and appends it.
    void add(JournalEntry entry);
    // Writes the lines that wait, once a minute has passed since the last try.
    void flush(const QDateTime& now);
    int waitingLines() const { return int(m_waiting.size()); }
    // The entries in memory that the file does not hold yet.
    const QList<JournalEntry>& waitingEntries() const { return m_waiting; }

signals:
    void added(const kelvo::service::JournalEntry& entry);

private:
    bool write();

    std::shared_ptr<Clock> m_clock;
    QString m_folder;
    QList<JournalEntry> m_waiting;
    QDateTime m_lastTry;
};

} // namespace kelvo::service
