#pragma once

#include "platform/grid.h"
#include "platform/platform.h"
#include "schedule/schedulerules.h"
#include "service/keptlogin.h"

#include <QDateTime>
#include <QPixmap>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kelvo {

// The one window of the program. It holds every control, the state of the
// session and the handlers of its controls and timers; the rules they apply
// are plain functions in config/, service/, schedule/ and alerts/.
class MainForm : public QWidget {
    Q_OBJECT
public:
    MainForm(Platform platform, const QUrl& serviceUrl, QWidget* parent = nullptr);
    ~MainForm() override;

    static const QStringList& timeZoneEntries();
    static const QStringList& systemNames();
    // What LabError says when the service refuses a login, and when it could
    // not be reached.
    static QString loginRefusedText();
    static QString serviceUnreachableText();
    // What LabError says while a kept login waits for the service, and when
    // the kept login could not be read; the message when there is no password
    // store to keep it in.
    static QString keptLoginRetryText();
    static QString keptLoginUnreadableText();
    static QString noPasswordStoreText();
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

    // Login panel.
    QLabel* LabUser;
    QLabel* LabPass;
    QLabel* LabSystem;
    QLineEdit* BoxUser;
    QLineEdit* BoxPassword;
    QComboBox* ComboSystem;
    QPushButton* Login;
    QLabel* LabError;

    // Main panel.
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
    QLabel* LabAutoStart;   // says that "Auto Start" kept, or removed, the login
    QPushButton* ButTestSound;
    QPushButton* ButMinimize;
    QPushButton* ButManUpdate;
    QPushButton* ButExit;
    QLabel* LabAnnounce; // read by screen readers only, never drawn

    // Invisible at run time.
    std::unique_ptr<PeriodicTimer> Timer;
    std::unique_ptr<PeriodicTimer> Timer_Check;
    std::unique_ptr<HttpTransfer> InetLogin;
    std::unique_ptr<HttpTransfer> InetTime;
    std::unique_ptr<HttpTransfer> InetSignals;

    // Session state.
    int System = 0;
    QString User;
    QString Password; // the encoded password; empty while nobody is logged in
    QString OldOrders;
    QString BoxLastInt;
    int NextMinute = 0;
    int NextHour = 0;
    bool ManUpdate = false;
    int TimerCounter = 0;
    QString AppPath;
    QString BoxPathString;
    QString OldGMT;

    // The text of the selected time-zone entry, empty when none is selected.
    QString gmtText() const;
    // The moment the "Next Check" box stands for; none while the box is empty.
    std::optional<QDateTime> nextCheckDue() const;
    // True while an update cycle waits for the service's time or signals.
    bool updateCycleWaiting() const;
    QString configPath() const;
    // The notification icon's tip: how to bring the window back, and that the
    // service has stopped answering, while it has.
    QString trayTip() const;
    // The program was started by the desktop at login (its autostart entry):
    // logged in with the kept login, it hides to the notification area.
    void setStartedByDesktop(bool byDesktop);
    // Has the kept login read once the window has shown its first frame.
    void readKeptLoginAfterFirstFrame();
    // True while the desktop starts the program in its start folder at login:
    // a saved session must not start it a second time.
    bool startsWithDesktop() const;
    // Runs before a message box shows (one that waits for a click, at start
    // say), so that a second start in the folder is answered meanwhile.
    void setBeforeMessage(std::function<void()> hook);

public slots:
    // Start-up and shutdown.
    void Form_Load();
    void ButExit_Click();
    void Form_Terminate();
    void ShowMainPanel();

    // Notification area.
    void AddTrayIcon();
    void RemoveTrayIcon();
    void ButMinimize_Click();
    void RestoreFromTray();
    // Another start of the program in this folder asks for the window: it
    // comes back as from the notification area, in front.
    void ShowAgain();

    // Login.
    void UpdateLoginButton();
    void ComboSystem_Click();
    void BoxUser_Change();
    void BoxPassword_Change();
    void Login_Click();

    // Running unattended: the login kept in the password store and the start
    // with the desktop.
    void CheckAutoStart_Click(bool checked);
    void ReadKeptLogin();

    // Signals.
    void FetchSignals();

    // Schedule.
    void RunUpdateCycle();
    void Timer_Timer();
    void Timer_Check_Timer();
    void ButManUpdate_Click();

    // Alerts.
    void AlarmStep();
    void ButTestSound_Click();
    bool PlayWAV(const QString& FileName);

    // Settings.
    void ListBoxGMT_Click();
    void BoxPath_Change();
    void BoxPath_KeyPress();
    void ButBrowse_Click();
    void ButSavePath_Click();

signals:
    // The user left the program, by "Exit" or by closing the window.
    void exitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void setTabOrder();
    void setAccessibleNames();
    // Has a screen reader read the positions of every system in the grid.
    void announcePositions();
    // Names the clock by its hour and minute.
    void nameClock();
    void Login_Finished(const ReplyText& reply, const QString& encodedPassword, bool kept);
    // Sends a login, typed or kept; its answer goes to Login_Finished.
    void sendLogin(const QString& user, const QString& encodedPassword, int system, bool kept);
    void showLoginError(const QString& text);
    void loadAutostart();
    void keptLoginRead(PasswordStore::Status status, const QString& secret);
    void sendKeptLogin();
    void keptLoginUnreachable();
    void loginAccepted(bool kept);
    void keepLogin(std::function<void(bool kept)> done);
    void forgetLogin();
    void showAutoStartState(const QString& text);
    // Each second: a kept login due again, a start by the desktop waiting
    // for a notification area.
    void unattendedStep();
    void hideWhenTrayShows();
    void RunUpdateCycle_Finished(const QString& reply);
    void FetchSignals_Finished(const ReplyText& reply);
    void setNextCheck(const schedule::NextCheck& next);
    void signalsArrived(bool usable);
    // Notes whether a check got its answer, and says so once the service has
    // been silent too long.
    void checkAnswered(bool answered);
    void showSilence();
    void showMessage(const QString& title, const QString& text);
    void selectTimeZone(const QString& entry);

    Platform m_platform;
    QUrl m_serviceUrl;
    QPixmap m_background;
    QDateTime m_nextCheckDue;
    // The service's time moved on but its signals have not come in yet.
    bool m_signalsOutstanding = false;
    schedule::AnswerRecord m_answers;
    bool m_terminated = false;
    // Unattended running.
    QString m_startFolder;
    Autostart::State m_autostart = Autostart::State::Absent;
    bool m_startedByDesktop = false;
    bool m_readAfterFirstFrame = false;
    bool m_autostartBusy = false; // the password store has yet to answer a click
    std::function<void()> m_beforeMessage;
    service::keptlogin::Login m_keptLogin;
    std::optional<QDateTime> m_keptLoginFailedAt; // unreachable: tried again from then
    std::optional<QDateTime> m_trayWaitSince;     // logged in by the desktop's start
};

// Places a control by twips, as the window's layout is given.
void placeTwips(QWidget* widget, int left, int top, int width, int height);

} // namespace kelvo
