#include "schedule/schedulerules.h"

namespace kelvo::schedule {

namespace {

constexpr int kMinutesPerHour = 60;
constexpr int kHoursPerDay = 24;
constexpr int kMaxZoneOffset = 12;
constexpr qsizetype kTimeTextLength = 8;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// `now` with its seconds and milliseconds dropped. Subtracting them as elapsed
// time keeps the moment on the same side of a daylight-saving change, which
// setting the wall-clock time anew would not during a repeated hour.
QDateTime truncatedToMinute(const QDateTime& now)
{
    const QTime t = now.time();
    return now.addMSecs(-(qint64(t.second()) * 1000 + t.msec()));
}

// A check at hour:minute of the wall clock, `deltaMinutes` wall-clock minutes
// after the minute of `now`. The due moment is that many real minutes after
// `now`'s minute, so a clock that jumps forward or back by an hour neither
// skips a check nor repeats one.
NextCheck makeCheck(const QDateTime& now, int hour, int minute, int deltaMinutes)
{
    NextCheck check;
    check.hour = hour;
    check.minute = minute;
    check.text =
        ElimSpaces(twoDigits(hour) + QLatin1Char(':') + twoDigits(minute) + QStringLiteral(":00"));
    check.due = truncatedToMinute(now).addSecs(qint64(deltaMinutes) * 60);
    return check;
}

// Shown when the service time does not start with an hour: the first eight
// characters, without spaces and without control characters such as line
// breaks, which a one-line box cannot show.
QString unshiftedText(const QString& rawTime)
{
    QString head = rawTime.left(kTimeTextLength);
    if (!head.isEmpty() && head.back().isHighSurrogate()) {
        head.chop(1); // the other half was cut off
    }
    QString result;
    result.reserve(head.size());
    for (const QChar c : head) {
        if (c != QLatin1Char(' ') && c.category() != QChar::Other_Control) {
            result.append(c);
        }
    }
    return result;
}

} // namespace

QString ElimSpaces(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ')) {
            result.append(c);
        }
    }
    return result;
}

int zoneOffsetHours(const QString& entry)
{
    const QString text = ElimSpaces(entry);
    qsizetype pos = 0;
    int sign = 1;
    if (!text.isEmpty() && (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-'))) {
        sign = text[0] == QLatin1Char('-') ? -1 : 1;
        pos = 1;
    }
    const qsizetype digits = text.size() - pos;
    if (digits < 1 || digits > 2) {
        return 0;
    }
    int value = 0;
    for (qsizetype i = pos; i < text.size(); ++i) {
        if (!isAsciiDigit(text[i])) {
            return 0;
        }
        value = value * 10 + (text[i].unicode() - '0');
    }
    if (value > kMaxZoneOffset) {
        return 0;
    }
    return sign * value;
}

QString convertToZone(const QString& rawTime, const QString& zoneEntry)
{
    const QString compact = ElimSpaces(rawTime);
    if (compact.size() < 2 || !isAsciiDigit(compact[0]) || !isAsciiDigit(compact[1])) {
        return unshiftedText(rawTime);
    }
    const int serverHour = (compact[0].unicode() - '0') * 10 + (compact[1].unicode() - '0');
    if (serverHour >= kHoursPerDay) {
        return unshiftedText(rawTime);
    }

    int hour = serverHour + zoneOffsetHours(zoneEntry);
    if (hour >= kHoursPerDay) {
        hour -= kHoursPerDay;
    }
    if (hour < 0) {
        hour += kHoursPerDay;
    }

    QString result = ElimSpaces(twoDigits(hour) + rawTime.mid(2, 6));
    if (result.size() > kTimeTextLength) {
        result = result.right(kTimeTextLength);
    }
    return result;
}

NextCheck nextCheckByLadder(const QDateTime& now)
{
    if (!now.isValid()) {
        return {};
    }
    const int hourNow = now.time().hour();
    const int minuteNow = now.time().minute();

    int hour = hourNow;
    int minute = minuteNow;
    if (minute >= 3) {
        minute += 1;
    }
    if (minute >= kMinutesPerHour) {
        minute = 0;
        hour += 1;
        if (hour == kHoursPerDay) {
            hour = 0;
        }
        // Only minute 59 gets here: the check is one minute on.
        return makeCheck(now, hour, minute, kMinutesPerHour - minuteNow);
    }

    if (minute >= 6 && minute <= 9) {
        minute = 10;
    } else if (minute >= 11 && minute <= 14) {
        minute = 15;
    } else if (minute >= 16 && minute <= 19) {
        minute = 20;
    } else if (minute >= 21 && minute <= 29) {
        minute = 30;
    } else if (minute >= 31 && minute <= 39) {
        minute = 40;
    } else if (minute >= 41 && minute <= 49) {
        minute = 50;
    } else if (minute >= 51 && minute <= 57) {
        minute = 58;
    }
    return makeCheck(now, hour, minute, minute - minuteNow);
}

NextCheck nextCheckAfterChange(const QDateTime& now)
{
    if (!now.isValid()) {
        return {};
    }
    constexpr int kMinute = 58;
    // At minute 59 this lies one minute back: due at once.
    return makeCheck(now, now.time().hour(), kMinute, kMinute - now.time().minute());
}

bool isCheckDue(const QDateTime& now, const std::optional<QDateTime>& due)
{
    if (!due || !due->isValid()) {
        return true;
    }
    return truncatedToMinute(now) >= *due;
}

void AnswerRecord::answered(const QDateTime& at)
{
    m_lastAnswer = at;
    m_failingSince = QDateTime();
}

void AnswerRecord::failed(const QDateTime& at)
{
    if (!m_failingSince.isValid())
        m_failingSince = at;
}

std::optional<QDateTime> AnswerRecord::silentSince(const QDateTime& now) const
{
    if (!m_lastAnswer.isValid() || !m_failingSince.isValid() ||
        m_failingSince.secsTo(now) < kSilenceSeconds)
        return std::nullopt;
    return m_lastAnswer;
}

QString noAnswerText(const QDateTime& lastAnswer)
{
    return QStringLiteral("No answer from the service since ") +
           lastAnswer.toString(QStringLiteral("HH:mm"));
}

} // namespace kelvo::schedule
