// The History window opening over a journal of 10,000 lines, from its
// construction until the first paint of its table, against a baseline
// measured in the same run: the same file read and parsed into a
// QStandardItemModel, shown in a bare QTableView until its first paint.
// The two alternate; each figure is the median of the runs. Run it under
// QT_QPA_PLATFORM=offscreen.

#include "app/historywindow.h"
#include "platform/clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kelvo;
using service::JournalEntry;

namespace {

constexpr int kLines = 10000;
constexpr int kRuns = 9;

// Notes the first paint of the widget it watches.
class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
    bool painted = false;
};

// Shows `window` and runs the events until `watched` has painted; the
// milliseconds since `timer` started, or -1 when no paint comes.
double untilPainted(const QElapsedTimer& timer, QWidget* window, QWidget* watched)
{
    FirstPaint paint;
    watched->installEventFilter(&paint);
    window->show();
    while (!paint.painted && timer.elapsed() < 10000)
        QCoreApplication::processEvents();
    const double ms = paint.painted ? timer.nsecsElapsed() / 1e6 : -1;
    watched->removeEventFilter(&paint);
    return ms;
}

// A journal of kLines entries, a change of a row every few lines, the last
// one a minute ago.
void writeJournal(const QString& path)
{
    const QStringList rows{QStringLiteral("Hourly Regular"), QStringLiteral("Hourly Filtered"),
                           QStringLiteral("Daily System")};
    const QStringList positions{QStringLiteral("Long"), QStringLiteral("Short"),
                                QStringLiteral("Flat")};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(service::journalHeader());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < kLines; ++i) {
        JournalEntry e;
        e.utc = now.addSecs(-60 * (kLines - i));
        if (i % 4 == 3) {
            e.event = QStringLiteral("silent");
            e.detail = QStringLiteral("no answer since %1").arg(e.utc.toString(Qt::ISODate));
        } else {
            e.event = QStringLiteral("change");
            e.system = rows.at(i % 3);
            e.position = positions.at(i % 3);
            e.previousPosition = positions.at((i + 1) % 3);
            e.signalDate = e.utc.toString(QStringLiteral("yyyy-MM-dd"));
            e.signalTime = e.utc.toString(QStringLiteral("HH:mm"));
            e.entryPrice = QString::number(1.08 + i * 1e-5, 'f', 5);
        }
        file.write(service::journalLine(e, e.utc.toLocalTime()));
    }
}

double historyWindow(service::Journal& journal, const std::shared_ptr<Clock>& clock)
{
    QElapsedTimer timer;
    timer.start();
    HistoryWindow window(journal,
                         {QStringLiteral("Hourly Regular"), QStringLiteral("Hourly Filtered"),
                          QStringLiteral("Daily System")},
                         clock);
    return untilPainted(timer, &window,
                        window.findChild<QTableView*>(QStringLiteral("HistoryTable"))->viewport());
}

double bareTable(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<JournalEntry> entries = service::parseJournal(file.readAll());
    QStandardItemModel model(int(entries.size()), 8);
    for (int row = 0; row < entries.size(); ++row) {
        const JournalEntry& e = entries.at(entries.size() - 1 - row);
        const QString cells[] = {
            e.utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            e.event,
            e.system,
            e.position,
            e.previousPosition,
            e.signalDate + QLatin1Char(' ') + e.signalTime,
            e.entryPrice,
            e.detail};
        for (int column = 0; column < 8; ++column)
            model.setItem(row, column, new QStandardItem(cells[column]));
    }
    QTableView view;
    view.setModel(&model);
    view.resize(760, 480);
    return untilPainted(timer, &view, view.viewport());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const std::shared_ptr<Clock> clock = systemClock();
    service::Journal journal(clock);
    journal.setFolder(folder.path());
    writeJournal(journal.path());

    historyWindow(journal, clock); // warm-up: fonts, styles, the file in the cache
    bareTable(journal.path());
    std::vector<double> window, bare;
    for (int run = 0; run < kRuns; ++run) {
        window.push_back(historyWindow(journal, clock));
        bare.push_back(bareTable(journal.path()));
    }
    if (std::min(*std::min_element(window.begin(), window.end()),
                 *std::min_element(bare.begin(), bare.end())) < 0) {
        std::fprintf(stderr, "a window was never painted\n");
        return 1;
    }
    const double w = median(window), b = median(bare);
    std::printf("history window, %d lines: %.0f ms, %.2fx the bare table (%.0f ms)\n", kLines, w,
                w / b, b);
    return 0;
}
