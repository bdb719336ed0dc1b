#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The rules of the update schedule as plain functions: no widgets, no clock of
// their own. The window hands them the time it read and shows what they give.
namespace kelvo::schedule {

// The text with every space character (code 32) removed. Tabs, line breaks and
// all other white space stay.
QString ElimSpaces(const QString& text);

// A time-zone entry of the list ("+12" ... "+01", "+0", "-01" ... "-12") read as
// whole hours. An optional sign and one or two digits are read; anything else,
// the empty text included, and any value outside -12..+12 gives 0.
int zoneOffsetHours(const QString& entry);

// The "Last Update" text for the raw service time (GMT, "HH:MM:SS") moved into
// the given time-zone entry: the hour is shifted by the offset and brought back
// into 0..23 (one correction each way), then followed by characters 3 to 8 of
// the raw text; spaces are removed and the result is never longer than 8
// characters. Line breaks after the eighth character are not shown.
//
// When the raw text (spaces removed) does not begin with a two-digit hour from
// 00 to 23, nothing is shifted: the result is the raw text's first 8 characters
// with spaces and control characters (line breaks, tabs) removed.
QString convertToZone(const QString& rawTime, const QString& zoneEntry);

// One scheduled check. hour and minute are wall-clock values of the local
// clock, text is how the "Next Check" box shows them ("HH:MM:00"), and due is
// the real moment that text stands for. For an invalid `now` both functions
// below give an empty text and an invalid due moment, which counts as due.
struct NextCheck {
    int hour = 0;
    int minute = 0;
    QString text;
    QDateTime due;
};

// The next check after a poll that brought nothing new, from a fixed ladder of
// minutes: checks often at the top of the hour, seldom later.
//   minute now:  0-2  3  4  5-9  10-14  15-19  20-29  30-39  40-49  50-57  58  59
//   next check:  same 4  5  10   15     20     30     40     50     58     59  :00 of next hour
NextCheck nextCheckByLadder(const QDateTime& now);

// The next check after a poll that brought a new service time: minute 58 of
// the current hour (already due at minute 59).
NextCheck nextCheckAfterChange(const QDateTime& now);

// Whether a check is due at `now`. No scheduled moment (an empty box) means a
// check is due at once; otherwise it is due once `now`, taken to the minute,
// has reached the scheduled moment. Being compared as moments, not as texts,
// this holds across midnight, daylight-saving changes and days asleep.
bool isCheckDue(const QDateTime& now, const std::optional<QDateTime>& due);

// The service's answers as the checks meet them. Once checks have failed for
// five minutes in a row, the data on screen and in the export files may be
// stale, and the window says since when the service has not answered.
class AnswerRecord {
public:
    static constexpr qint64 kSilenceSeconds = 5 * 60;

    // A check that brought what it asked for.
    void answered(const QDateTime& at);
    // A check that brought nothing usable.
    void failed(const QDateTime& at);
    // The moment of the last good answer, while the checks have failed for
    // kSilenceSeconds or longer since it; none otherwise.
    std::optional<QDateTime> silentSince(const QDateTime& now) const;

private:
    QDateTime m_lastAnswer;
    QDateTime m_failingSince;
};

// "No answer from the service since HH:MM", the time as the given moment's
// own clock shows it.
QString noAnswerText(const QDateTime& lastAnswer);

} // namespace kelvo::schedule
