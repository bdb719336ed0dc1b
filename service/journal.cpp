#include "service/journal.h"

#include "platform/clock.h"
#include "platform/filesave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

namespace kelvo::service {
namespace {

constexpr char kCrLf[] = "\r\n";

bool isNumber(const QString& text)
{
    bool number = false;
    text.toDouble(&number);
    return number;
}

// What a spreadsheet reads as the start of a formula.
const QString& formulaStarts()
{
    static const QString starts = QStringLiteral("=+-@\t\r");
    return starts;
}

// A field as it was before csvField() led it with '.
QString unguarded(const QString& field)
{
    if (field.size() > 1 && field.at(0) == QLatin1Char('\'') &&
        formulaStarts().contains(field.at(1)))
        return field.mid(1);
    return field;
}

// The entry of a line's fields; none where they are not one.
std::optional<JournalEntry> entryOf(const QStringList& fields)
{
    const QDateTime utc = QDateTime::fromString(fields.value(0), Qt::ISODate);
    if (fields.size() != 10 || !utc.isValid())
        return std::nullopt;
    QStringList f;
    for (const QString& field : fields)
        f.append(unguarded(field));
    return JournalEntry{utc.toUTC(), f.at(2), f.at(3), f.at(4), f.at(5),
                        f.at(6),     f.at(7), f.at(8), f.at(9)};
}

} // namespace

QByteArray journalHeader()
{
    return QByteArrayLiteral("utc_time,local_time,event,system,position,signal_date,signal_time,"
                             "entry_price,previous_position,detail") +
           kCrLf;
}

QString csvField(const QString& text)
{
    QString field = text;
    if (!field.isEmpty() && formulaStarts().contains(field.at(0)) && !isNumber(field))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
        field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r')))
        field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                QLatin1Char('"');
    return field;
}

QByteArray journalLine(const JournalEntry& entry, const QDateTime& local)
{
    const QStringList fields{
        entry.utc.toUTC().toString(Qt::ISODate),
        local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        entry.event,
        entry.system,
        entry.position,
        entry.signalDate,
        entry.signalTime,
        entry.entryPrice,
        entry.previousPosition,
        entry.detail,
    };
    QStringList safe;
    for (const QString& field : fields)
        safe.append(csvField(field));
    return safe.join(QLatin1Char(',')).toUtf8() + kCrLf;
}

QList<JournalEntry> parseJournal(const QByteArray& bytes)
{
    QList<JournalEntry> entries;
    const QString text = QString::fromUtf8(bytes);
    const auto next = [&](qsizetype i) { return i + 1 < text.size() ? text.at(i + 1) : QChar(); };
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('"') && next(i) == QLatin1Char('"')) {
            fields.last() += text.at(++i);
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char(',')) {
            fields.append(QString());
        } else if (!quoted && c == QLatin1Char('\r') && next(i) == QLatin1Char('\n')) {
            // A line ends at CR LF outside quotes; one that is no entry
            // (the header, a line cut short) is passed over.
            ++i;
            if (const auto entry = entryOf(fields))
                entries.append(*entry);
            fields = QStringList{QString()};
        } else {
            fields.last() += c;
        }
    }
    return entries;
}

QList<JournalEntry> changeEntries(const SignalRows& previous, const SignalRows& current)
{
    QList<JournalEntry> changes;
    for (qsizetype i = 0; i < current.size(); ++i) {
        const SignalRow& row = current.at(i);
        const QString before = i < previous.size() ? previous.at(i).cells.value(0) : QString();
        if (row.cells.value(0) != before)
            changes.append({{},
                            QStringLiteral("change"),
                            row.title,
                            row.cells.value(0),
                            row.cells.value(1),
                            row.cells.value(2),
                            row.cells.value(3),
                            before,
                            {}});
    }
    return changes;
}

Journal::Journal(std::shared_ptr<Clock> clock, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_folder(QDir::currentPath())
{
}

void Journal::setFolder(const QString& folder)
{
    m_folder = folder;
}

QString Journal::path() const
{
    return QDir(m_folder).filePath(QLatin1String(kJournalFileName));
}

void Journal::add(JournalEntry entry)
{
    entry.utc = m_clock->now().toUTC();
    m_waiting.append(entry);
    write();
    emit added(entry);
}

void Journal::flush(const QDateTime& now)
{
    if (!m_waiting.isEmpty() && m_lastTry.secsTo(now) >= 60)
        write();
}

bool Journal::write()
{
    m_lastTry = m_clock->now();
    QByteArray lines;
    for (const JournalEntry& entry : std::as_const(m_waiting))
        lines += journalLine(entry, entry.utc.toLocalTime());
    const QString file = path();
    const qint64 size = QFileInfo(file).size();
    if (size > 0 && size + lines.size() > kJournalRotateBytes) {
        const QString old = QDir(m_folder).filePath(QLatin1String(kJournalOldFileName));
        // Not moved aside (a folder that takes no new file): the lines go
        // on at the end rather than wait.
        QFile::remove(old);
        QFile::rename(file, old);
    }
    const bool fresh = !FileExists(file) || QFileInfo(file).size() == 0;
    if (const auto why = appendToFile(file, fresh ? journalHeader() + lines : lines)) {
        qWarning().noquote() << "could not write" << QDir::toNativeSeparators(file) << *why;
        return false;
    }
    m_waiting.clear();
    return true;
}

} // namespace kelvo::service
