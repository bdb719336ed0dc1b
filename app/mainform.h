#pragma once

#include "platform/grid.h"
#include "platform/platform.h"
#include "service/session.h"

#include <QDateTime>
#include <QPixmap>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kelvo {

// The one window of the program: a view of the session. It makes the
// controls of app/controls.h, shows what the session tells it, and hands the
// user's clicks, keys and toggles to the session.
class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm(Platform platform, const QUrl& serviceUrl, QWidget* parent = nullptr);
    ~MainForm() override;

    static const QStringList& systemNames();
    // What LabError says when the service refuses a login, and when it could
    // not be reached.
    static QString loginRefusedText();
    static QString serviceUnreachableText();
    // What LabError says while a kept login waits for the service, and when
    // the kept login could not be read.
    static QString keptLoginRetryText();
    static QString keptLoginUnreadableText();
    // A second start in the folder whose program did not answer (title,
    // text), and a start that cannot tell whether another runs there.
    static std::pair<QString, QString> runningUnreachableMessage();
    static std::pair<QString, QString> unguardedMessage(const QString& problem);
    // A start whose start folder, given after "--autostart", cannot be entered.
    static std::pair<QString, QString> startFolderMessage(const QString& folder);

    // The window's background for screens of this device pixel ratio. It can
    // be decoded ahead and handed in, before the window's first paint.
    static QPixmap backgroundPicture(qreal devicePixelRatio);
    void setBackgroundPicture(const QPixmap& picture);

    service::Session& session() { return m_session; }

    // Start-up (Form_Load): the settings, then the session's first steps.
    void load();
    // The program was started by the desktop at login (its autostart entry):
    // logged in with the kept login, it hides to the notification area.
    void setStartedByDesktop(bool byDesktop) { m_startedByDesktop = byDesktop; }
    // Has the kept login read once the window has shown its first frame.
    void readKeptLoginAfterFirstFrame() { m_readAfterFirstFrame = true; }
    // True while the desktop starts the program in its start folder at login:
    // a saved session must not start it a second time.
    bool startsWithDesktop() const { return m_session.startsWithDesktop(); }
    // Runs before a message box shows (one that waits for a click, at start
    // say), so that a second start in the folder is answered meanwhile.
    void setBeforeMessage(std::function<void()> hook) { m_beforeMessage = std::move(hook); }
    // The notification icon's tip: how to bring the window back, and that the
    // service has stopped answering, while it has.
    QString trayTip() const;

    // The controls, by their names in app/controls.h.
    QLabel* LabUser;
    QLabel* LabPass;
    QLabel* LabSystem;
    QLineEdit* BoxUser;
    QLineEdit* BoxPassword;
    QComboBox* ComboSystem;
    QPushButton* Login;
    QLabel* LabError;
    QtGrid* FGrid;
    QLabel* LabLast;
    QLineEdit* BoxLast;
    QLabel* LabNext;
    QLineEdit* BoxNext;
    QLabel* LabTime;
    QLabel* LabGMT;
    QListWidget* ListBoxGMT;
    QPushButton* ButBrowse;
    QLineEdit* BoxPath;
    QPushButton* ButSavePath;
    QLabel* LabAlerts;
    QCheckBox* CheckSound;
    QCheckBox* CheckAlarm;
    QCheckBox* CheckText;
    QCheckBox* CheckAutoStart;
    QLabel* LabExportError; // shown while the latest export failed
    QLabel* LabNoAnswer;    // shown while checks have failed for five minutes
    QLabel* LabAutoStart;   // says what the last change of "Auto Start" did
    QPushButton* ButTestSound;
    QPushButton* ButMinimize;
    QPushButton* ButManUpdate;
    QPushButton* ButExit;
    QPushButton* ButPhoneAlerts;
    QPushButton* ButHistory;
    QLabel* LabAlertError; // shown while a phone alert could not be sent
    QLabel* LabAnnounce;   // read by screen readers only, never drawn

public slots:
    // The main panel in place of the login panel, the grid with the
    // system's rows (ShowMainPanel).
    void showMainPanel();
    // "Minimize": to the notification area, or the task bar without one.
    void minimize();
    void restoreFromTray();
    // Another start of the program in this folder asks for the window: it
    // comes back as from the notification area, in front.
    void showAgain();

signals:
    // The user left the program, by "Exit" or by closing the window.
    void exitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void setAccessibleNames();
    void connectControls();
    void connectSession();
    // Has a screen reader read the positions of every system in the grid.
    void announcePositions(const service::SignalRows& rows);
    // Names the clock by its hour and minute.
    void nameClock();
    void updateLoginButton();
    void showLoginError(const QString& text);
    void showGrid(const service::SignalRows& rows);
    void showSilence(const std::optional<QDateTime>& since);
    // Shows why the latest export failed; none: it did not.
    void showExportFailure(const QString& reason);
    void showAutoStart(bool on);
    // Shows why the last phone alert was not sent; none: it was.
    void showAlertFailure(const QString& why);
    void openPhoneAlerts();
    void openHistory();
    void showAutoStartState(const QString& text);
    void autoStartToggled(bool checked);
    void selectTimeZone(const QString& entry);
    void showMessage(const QString& title, const QString& text);
    void addTrayIcon();
    void exit();
    void terminate();
    // Started by the desktop: hidden once the first signals are in and a
    // notification area shows its icon, else minimised after a wait.
    void hideWhenTrayShows();

    Platform m_platform;
    service::Session m_session;
    QPixmap m_background;
    bool m_terminated = false;
    bool m_startedByDesktop = false;
    bool m_readAfterFirstFrame = false;
    std::function<void()> m_beforeMessage;
    std::optional<QDateTime> m_trayWaitSince; // logged in by the desktop's start
    QPointer<QWidget> m_phoneAlertsDialog;
    QPointer<QWidget> m_historyWindow;
};

// Places a control by twips, as the window's layout is given.
void placeTwips(QWidget* widget, int left, int top, int width, int height);

} // namespace kelvo
