#include "app/historywindow.h"

#include "alerts/phonealerts.h"
#include "platform/clock.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStyleOptionFocusRect>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace kelvo {

using service::JournalEntry;

QDateTime changeTime(const JournalEntry& entry)
{
    // (Qt::ISODate reads yyyy-MM-dd and HH:mm without building a parser for
    // the format: a strip over ten thousand changes is drawn at once.)
    const QDateTime signal(QDate::fromString(entry.signalDate, Qt::ISODate),
                           QTime::fromString(entry.signalTime, Qt::ISODate), Qt::UTC);
    // A signal time after the change was noted (a service whose clock runs
    // ahead) would lie in the future, off the strip: then it is placed when
    // it was noted.
    return signal.isValid() && signal <= entry.utc ? signal : entry.utc;
}

QString changeText(const JournalEntry& entry)
{
    return alerts::changeLine(
        entry, changeTime(entry).toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QList<PositionSpan> positionSpans(const QList<JournalEntry>& entries, const QString& row,
                                  const QDateTime& from, const QDateTime& to)
{
    QList<std::pair<QDateTime, qsizetype>> changes; // when, which entry
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries.at(i).event == QLatin1String("change") && entries.at(i).system == row)
            changes.append({changeTime(entries.at(i)), i});
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<PositionSpan> spans;
    const auto add = [&](const QDateTime& start, const QDateTime& end, const QString& position,
                         qsizetype change) {
        const QDateTime clippedStart = std::max(start, from);
        const QDateTime clippedEnd = std::min(end, to);
        if (clippedStart < clippedEnd && !position.isEmpty())
            spans.append({clippedStart, clippedEnd, position, change});
    };
    if (changes.isEmpty())
        return spans;
    const auto& [firstTime, first] = changes.first();
    add(entries.first().utc, firstTime, entries.at(first).previousPosition, first);
    for (qsizetype k = 0; k < changes.size(); ++k)
        add(changes.at(k).first, k + 1 < changes.size() ? changes.at(k + 1).first : to,
            entries.at(changes.at(k).second).position, changes.at(k).second);
    return spans;
}

namespace {

enum Column { Time, Event, System, Position, Previous, Signal, EntryPrice, Detail, Columns };

// The journal's entries, newest first; new ones come in at the top.
class HistoryModel final : public QAbstractTableModel {
public:
    HistoryModel(QList<JournalEntry> entries, QObject* parent)
        : QAbstractTableModel(parent), m_entries(std::move(entries))
    {
    }
    void add(const JournalEntry& entry)
    {
        beginInsertRows({}, 0, 0);
        m_entries.append(entry);
        endInsertRows();
    }
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(m_entries.size());
    }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : Columns;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QStringList titles{QStringLiteral("Time"),        QStringLiteral("Event"),
                                        QStringLiteral("System"),      QStringLiteral("Position"),
                                        QStringLiteral("Previous"),    QStringLiteral("Signal"),
                                        QStringLiteral("Entry Price"), QStringLiteral("Detail")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return titles.value(section);
        return {};
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const JournalEntry& e = m_entries.at(m_entries.size() - 1 - index.row());
        switch (index.column()) {
        case Time:
            return e.utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case Event:
            return e.event;
        case System:
            return e.system;
        case Position:
            return e.position;
        case Previous:
            return e.previousPosition;
        case Signal:
            return (e.signalDate + QLatin1Char(' ') + e.signalTime).trimmed();
        case EntryPrice:
            return e.entryPrice;
        default:
            return e.detail;
        }
    }

private:
    QList<JournalEntry> m_entries; // oldest first
};

QColor positionColour(const QString& position)
{
    if (position.compare(QLatin1String("Long"), Qt::CaseInsensitive) == 0)
        return QColor(40, 150, 60);
    if (position.compare(QLatin1String("Short"), Qt::CaseInsensitive) == 0)
        return QColor(200, 40, 40);
    if (position.compare(QLatin1String("Flat"), Qt::CaseInsensitive) == 0)
        return QColor(120, 130, 150);
    return {};
}

// A bar per system row over the last 30 days, and a legend. Left and Right
// step through the changes; the focused one is told through onFocused.
class PositionStrip final : public QWidget {
public:
    PositionStrip(QStringList rows, std::shared_ptr<Clock> clock, QWidget* parent)
        : QWidget(parent), m_rows(std::move(rows)), m_clock(std::move(clock))
    {
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(QStringLiteral("Positions over the last 30 days"));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void setEntries(QList<JournalEntry> entries)
    {
        m_entries = std::move(entries);
        update();
    }
    void add(const JournalEntry& entry)
    {
        m_entries.append(entry);
        update();
    }
    QSize sizeHint() const override
    {
        return {400, int(m_rows.size()) * rowPitch() + fontMetrics().height() + 8};
    }
    std::function<void(const QString&)> onFocused;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return QWidget::event(event);
        const auto* help = static_cast<QHelpEvent*>(event);
        const int row = help->pos().y() / rowPitch();
        const QRect bar = barRect(row);
        if (row < m_rows.size() && bar.contains(help->pos())) {
            const Scale scale = this->scale();
            const QDateTime at = scale.at(help->pos().x());
            for (const PositionSpan& span : spans(row, scale))
                if (span.from <= at && at < span.to) {
                    QToolTip::showText(help->globalPos(), changeText(m_entries.at(span.change)),
                                       this, bar);
                    return true;
                }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        const int step = event->key() == Qt::Key_Right ? 1 : event->key() == Qt::Key_Left ? -1 : 0;
        const QList<qsizetype> changes = focusable();
        if (step == 0 || changes.isEmpty())
            return QWidget::keyPressEvent(event);
        const qsizetype at = changes.indexOf(m_focused);
        const qsizetype next = at < 0 ? (step > 0 ? 0 : changes.size() - 1)
                                      : std::clamp(at + step, qsizetype(0), changes.size() - 1);
        m_focused = changes.at(next);
        const QString text = changeText(m_entries.at(m_focused));
        setAccessibleDescription(text);
        if (onFocused)
            onFocused(text);
        update();
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const Scale scale = this->scale();
        for (int row = 0; row < m_rows.size(); ++row) {
            const QRect bar = barRect(row);
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(QRect(4, bar.top(), bar.left() - 8, bar.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, m_rows.at(row));
            p.fillRect(bar, palette().base());
            for (const PositionSpan& span : spans(row, scale))
                p.fillRect(QRect(QPoint(scale.x(span.from), bar.top()),
                                 QPoint(scale.x(span.to) - 1, bar.bottom())),
                           positionColour(span.position));
            p.setPen(palette().color(QPalette::Mid));
            p.drawRect(bar.adjusted(0, 0, -1, -1));
        }
        if (m_focused >= 0 && hasFocus()) {
            const JournalEntry& entry = m_entries.at(m_focused);
            const QRect bar = barRect(int(m_rows.indexOf(entry.system)));
            p.fillRect(QRect(scale.x(changeTime(entry)) - 1, bar.top() - 2, 3, bar.height() + 4),
                       palette().color(QPalette::Highlight));
        }
        int x = scale.left;
        const int y = int(m_rows.size()) * rowPitch() + 4;
        const int box = fontMetrics().height() - 4;
        for (const char* word : {"Long", "Short", "Flat"}) {
            const QString text = QLatin1String(word);
            p.fillRect(QRect(x, y + 2, box, box), positionColour(text));
            x += box + 4;
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(
                QRect(x, y, fontMetrics().horizontalAdvance(text) + 2, fontMetrics().height()),
                Qt::AlignLeft | Qt::AlignVCenter, text);
            x += fontMetrics().horizontalAdvance(text) + 16;
        }
        if (hasFocus()) {
            QStyleOptionFocusRect option;
            option.initFrom(this);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
        }
    }

private:
    int rowPitch() const { return fontMetrics().height() + 6; }
    QRect barRect(int row) const
    {
        int titles = 0;
        for (const QString& title : m_rows)
            titles = std::max(titles, fontMetrics().horizontalAdvance(title));
        const int left = titles + 16;
        return {left, row * rowPitch() + 2, std::max(1, width() - left - 4), rowPitch() - 4};
    }
    // Where the bars lie and the 30 days up to now that they span.
    struct Scale {
        QDateTime from;
        QDateTime to;
        int left;
        int width;
        int x(const QDateTime& at) const
        {
            return left + int(double(from.msecsTo(at)) * width / from.msecsTo(to));
        }
        QDateTime at(int x) const
        {
            return from.addMSecs(qint64(double(x - left) * from.msecsTo(to) / width));
        }
    };
    Scale scale() const
    {
        const QDateTime to = m_clock->now().toUTC();
        const QRect bar = barRect(0);
        return {to.addDays(-30), to, bar.left(), bar.width()};
    }
    QList<PositionSpan> spans(int row, const Scale& scale) const
    {
        return positionSpans(m_entries, m_rows.at(row), scale.from, scale.to);
    }
    // The changes of the rows within the window, in time order.
    QList<qsizetype> focusable() const
    {
        const Scale scale = this->scale();
        QList<qsizetype> changes;
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            const JournalEntry& entry = m_entries.at(i);
            const QDateTime at = changeTime(entry);
            if (entry.event == QLatin1String("change") && m_rows.contains(entry.system) &&
                at >= scale.from && at <= scale.to)
                changes.append(i);
        }
        std::stable_sort(changes.begin(), changes.end(), [this](qsizetype a, qsizetype b) {
            return changeTime(m_entries.at(a)) < changeTime(m_entries.at(b));
        });
        return changes;
    }

    QStringList m_rows;
    std::shared_ptr<Clock> m_clock;
    QList<JournalEntry> m_entries; // oldest first
    qsizetype m_focused = -1;
};

} // namespace

HistoryWindow::HistoryWindow(service::Journal& journal, const QStringList& systemRows,
                             std::shared_ptr<Clock> clock, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Kelvo-Rozevid - History"));
    resize(760, 480);

    // A missing file is an empty history.
    QList<JournalEntry> entries;
    QFile file(journal.path());
    if (file.open(QIODevice::ReadOnly))
        entries = service::parseJournal(file.readAll());
    entries += journal.waitingEntries();

    auto* model = new HistoryModel(entries, this);
    auto* strip = new PositionStrip(systemRows, std::move(clock), this);
    strip->setObjectName(QStringLiteral("HistoryStrip"));
    strip->setEntries(entries);
    connect(&journal, &service::Journal::added, this, [model, strip](const JournalEntry& entry) {
        model->add(entry);
        strip->add(entry);
    });
    auto* focused = new QLabel(this);
    focused->setTextInteractionFlags(Qt::TextSelectableByMouse);
    strip->onFocused = [focused](const QString& text) { focused->setText(text); };

    // A system row shows its own changes and the events of no row.
    auto* proxy = new QSortFilterProxyModel(this);
    proxy->setSourceModel(model);
    proxy->setFilterKeyColumn(System);
    auto* filter = new QComboBox(this);
    filter->setObjectName(QStringLiteral("HistoryFilter"));
    filter->setAccessibleName(QStringLiteral("System"));
    filter->addItem(QStringLiteral("All systems"));
    filter->addItems(systemRows);
    connect(filter, &QComboBox::currentIndexChanged, proxy, [proxy, systemRows](int index) {
        proxy->setFilterRegularExpression(
            index <= 0 ? QString()
                       : QStringLiteral("^(?:%1)?$")
                             .arg(QRegularExpression::escape(systemRows.at(index - 1))));
    });

    auto* table = new QTableView(this);
    table->setObjectName(QStringLiteral("HistoryTable"));
    table->setAccessibleName(QStringLiteral("History"));
    table->setModel(proxy);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {150, 80, 115, 65, 65, 125, 80};
    for (int column = 0; column < int(std::size(widths)); ++column)
        table->setColumnWidth(column, widths[column]);

    auto* label = new QLabel(QStringLiteral("&System:"), this);
    label->setBuddy(filter);
    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(filter);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(strip);
    layout->addWidget(focused);
    layout->addWidget(table, 1);
}

} // namespace kelvo
