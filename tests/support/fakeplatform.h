#pragma once

// Test doubles for the platform layer. None of them blocks, makes a noise or
// reads the real clock; each records what the window asked of it.

#include "platform/grid.h"
#include "platform/platform.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QStringList>
#include <optional>

namespace kelvo::test {

class FakeMessageBox final : public MessageBox {
public:
    struct Shown {
        QString title;
        QString text;
    };
    void show(QWidget*, const QString& title, const QString& text) override
    {
        shown.append({title, text});
    }
    QList<Shown> shown;
};

class FakeBeep final : public Beep {
public:
    void beep() override { ++count; }
    int count = 0;
};

class FakeClock final : public Clock {
public:
    QDateTime now() const override { return current; }
    void advance(qint64 seconds) { current = current.addSecs(seconds); }
    QDateTime current{QDate(2026, 3, 2), QTime(9, 0, 0)};
};

class FakeFileDialog final : public FileDialog {
public:
    // Answers in turn; std::nullopt stands for a cancelled dialog.
    QList<std::optional<QString>> answers;
    int opened = 0;

    QString chooseFile(QWidget*) override
    {
        ++opened;
        if (!answers.isEmpty()) {
            const auto answer = answers.takeFirst();
            if (answer)
                m_last = *answer;
        }
        return m_last;
    }

private:
    QString m_last;
};

class FakeTrayIcon final : public TrayIcon {
public:
    bool available = true;
    bool shown = false;
    QString tip;
    QIcon icon;
    int added = 0;
    int removed = 0;

    bool isAvailable() const override { return available; }
    void add(const QIcon& i, const QString& t) override
    {
        icon = i;
        tip = t;
        shown = true;
        ++added;
    }
    void remove() override
    {
        shown = false;
        ++removed;
    }
    bool isShown() const override { return shown; }
    void setRestoreHandler(std::function<void()> handler) override
    {
        m_onRestore = std::move(handler);
    }
    // What the desktop reports on a click on the icon that restores.
    void doubleClick()
    {
        if (m_onRestore)
            m_onRestore();
    }

private:
    std::function<void()> m_onRestore;
};

class FakeSoundPlayer final : public SoundPlayer {
public:
    bool play(const QString& fileName) override
    {
        played.append(fileName);
        return accept;
    }
    QString installedAlarmFile() const override { return installed; }
    QStringList played;
    bool accept = true;
    QString installed;
};

// A grid in memory: cells, sizes and alignments, nothing drawn.
class FakeGrid final : public Grid {
public:
    int Rows() const override { return m_rows; }
    void setRows(int rows) override { m_rows = rows; }
    int Cols() const override { return m_cols; }
    void setCols(int cols) override { m_cols = cols; }
    QString TextMatrix(int row, int col) const override { return m_cells.value({row, col}); }
    void setTextMatrix(int row, int col, const QString& text) override
    {
        if (row >= 0 && row < m_rows && col >= 0 && col < m_cols)
            m_cells.insert({row, col}, text);
    }
    int ColWidth(int col) const override { return m_widths.value(col, 975); }
    void setColWidth(int col, int twips) override { m_widths.insert(col, twips); }
    int ColAlignment(int col) const override { return m_alignments.value(col, 9); }
    void setColAlignment(int col, int alignment) override { m_alignments.insert(col, alignment); }
    int Width() const override { return m_width; }
    void setWidth(int twips) override { m_width = twips; }
    int Height() const override { return m_height; }
    void setHeight(int twips) override { m_height = twips; }
    bool Visible() const override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }

private:
    int m_rows = 2;
    int m_cols = 2;
    int m_width = 255;
    int m_height = 1215;
    bool m_visible = false;
    QMap<QPair<int, int>, QString> m_cells;
    QMap<int, int> m_widths;
    QMap<int, int> m_alignments;
};

class FakeTimer final : public PeriodicTimer {
public:
    void start(int intervalMs, std::function<void()> onTick) override
    {
        m_interval = intervalMs;
        m_onTick = std::move(onTick);
        m_active = true;
    }
    int interval() const override { return m_interval; }
    bool isActive() const override { return m_active; }
    void fire()
    {
        if (m_onTick)
            m_onTick();
    }

private:
    int m_interval = 0;
    bool m_active = false;
    std::function<void()> m_onTick;
};

// The platform of a window under test: doubles for the desktop, real HTTP
// transfers (tests talk to a real server of their own on 127.0.0.1).
// Timers are created in the order the window asks for them.
struct FakePlatform {
    std::shared_ptr<FakeMessageBox> messageBox = std::make_shared<FakeMessageBox>();
    std::shared_ptr<FakeBeep> beep = std::make_shared<FakeBeep>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeFileDialog> fileDialog = std::make_shared<FakeFileDialog>();
    std::shared_ptr<FakeTrayIcon> trayIcon = std::make_shared<FakeTrayIcon>();
    std::shared_ptr<FakeSoundPlayer> sound = std::make_shared<FakeSoundPlayer>();
    std::shared_ptr<QNetworkAccessManager> network = std::make_shared<QNetworkAccessManager>();
    std::shared_ptr<QList<FakeTimer*>> timers = std::make_shared<QList<FakeTimer*>>();
    TransferLimits limits;

    Platform platform()
    {
        Platform p;
        p.messageBox = messageBox;
        p.beep = beep;
        p.clock = clock;
        p.fileDialog = fileDialog;
        p.trayIcon = trayIcon;
        p.sound = sound;
        auto list = timers;
        p.makeTimer = [list](QObject*) {
            auto timer = std::make_unique<FakeTimer>();
            list->append(timer.get());
            return timer;
        };
        auto manager = network;
        const TransferLimits l = limits;
        p.makeTransfer = [manager, l]() { return makeQtTransfer(manager.get(), l); };
        return p;
    }
};

} // namespace kelvo::test
