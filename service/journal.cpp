#include "service/journal.h"

#include "platform/clock.h"
#include "platform/filesave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kelvo::service {
namespace {

constexpr char kCrLf[] = "\r\n";

bool isNumber(const QString& text)
{
    bool number = false;
    text.toDouble(&number);
    return number;
}

// The fields of one CSV line, quotes undone; nullopt where a quote is left open.
std::optional<QStringList> splitCsvLine(const QString& line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() &&
            line.at(i + 1) == QLatin1Char('"'))
            fields.last() += line.at(++i);
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(',') && !quoted)
            fields.append(QString());
        else
            fields.last() += c;
    }
    if (quoted)
        return std::nullopt;
    return fields;
}

// A field as it was before csvField() led it with '.
QString unguarded(const QString& field)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (field.size() > 1 && field.at(0) == QLatin1Char('\'') && formulaStarts.contains(field.at(1)))
        return field.mid(1);
    return field;
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
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!field.isEmpty() && formulaStarts.contains(field.at(0)) && !isNumber(field))
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
    QString line;
    // A quoted field may hold a line break: a line ends at CR LF outside quotes.
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('\r') && i + 1 < text.size() &&
            text.at(i + 1) == QLatin1Char('\n')) {
            ++i;
            const auto fields = splitCsvLine(line);
            line.clear();
            if (!fields || fields->size() != 10)
                continue;
            const QDateTime utc = QDateTime::fromString(fields->at(0), Qt::ISODate);
            if (!utc.isValid())
                continue;
            QStringList f;
            for (const QString& field : *fields)
                f.append(unguarded(field));
            entries.append({utc.toUTC(), f.at(2), f.at(3), f.at(4), f.at(5), f.at(6), f.at(7),
                            f.at(8), f.at(9)});
            continue;
        }
        line += c;
    }
    return entries;
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
    const QDateTime local = m_clock->now();
    entry.utc = local.toUTC();
    m_waiting.append(journalLine(entry, local));
    m_waitingEntries.append(entry);
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
    const QByteArray lines = m_waiting.join();
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
        emit writeFailed(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file), *why));
        return false;
    }
    m_waiting.clear();
    m_waitingEntries.clear();
    return true;
}

} // namespace kelvo::service
