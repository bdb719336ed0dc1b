#pragma once

#include "alerts/alarm.h"
#include "alerts/phonealerts.h"
#include "config/settings.h"
#include "platform/coreplatform.h"
#include "schedule/schedulerules.h"
#include "service/journal.h"
#include "service/keptlogin.h"
#include "service/signalgrid.h"

#include <QDateTime>
#include <QObject>
#include <QUrl>
#include <optional>

namespace kelvo::service {

// One session with the signal service, with no window: the login (typed or
// kept in the password store), the update cycle on its two timers, the
// signals and the export files they are written to, the alarm, the settings
// and Auto Start. It says what happened through its signals; the window
// shows them, and so may anything else that must know (a journal, an alert
// to a phone): connect to the signal, nothing more.
class Session : public QObject {
    Q_OBJECT
public:
    Session(CorePlatform platform, const QUrl& serviceUrl, QObject* parent = nullptr);
    ~Session() override;

    // Why Auto Start cannot be switched on without a password store.
    static QString noPasswordStoreText();

    // Start-up (Form_Load): the settings of the start folder, whether it
    // starts with the desktop, and a first update cycle once logged in.
    void load();
    // Leaves at once: nothing more is asked of the service or written.
    void stop();

    // A login typed by the user; the system by its name ("Daily System").
    void login(const QString& user, const QString& password, const QString& systemName);
    // Begins the session of an accepted login.
    void begin(const QString& user, const QString& encodedPassword, int system, bool kept = false);
    // Reads the start folder's kept login and logs in with it, if it has one.
    void readKeptLogin();
    // Keeps the login for Auto Start and has the desktop start the program
    // in its start folder, or forgets both.
    void setAutoStart(bool on);

    // One check of the service (RunUpdateCycle): its time, and its signals
    // when the time moved on.
    void runUpdateCycle();
    // The signals of the logged-in user (FetchSignals).
    void fetchSignals();
    // A check asked for by the user ("Manual Update").
    void updateNow();

    void setSoundOn(bool on) { m_soundOn = on; }
    void setAlarmEnabled(bool on) { m_alarmEnabled = on; }
    void setExportOn(bool on) { m_exportOn = on; }

    config::Settings& settings() { return m_settings; }
    alerts::Alarm& alarm() { return m_alarm; }
    alerts::PhoneAlerts& phoneAlerts() { return m_phone; }
    Journal& journal() { return m_journal; }

    // Whether the start folder's phone alerts could be read from the
    // password store at start (a folder without alerts never asks it).
    bool phoneAlertsReadable() const { return m_phoneReadable; }
    // Keeps the alerts in the password store and sends to them from then
    // on; all four empty: forgets them.
    void keepPhoneAlerts(const alerts::AlertTargets& targets);

    bool isLoggedIn() const { return !m_password.isEmpty(); }
    const SignalRows& rows() const { return m_rows; }
    // The positions key of the last reply (OldOrders); empty before the first.
    QString positionsKey() const { return m_positionsKey; }
    // The next check as "Next Check" shows it, and the moment it stands for.
    QString nextCheckText() const { return m_nextCheck.text; }
    std::optional<QDateTime> nextCheckDue() const;
    // The last good answer, while the service has been silent too long.
    std::optional<QDateTime> silentSince() const { return m_silentSince; }
    // What went wrong at the last check that failed.
    QString lastFailure() const { return m_lastFailure; }
    // True while a check waits for the service's time or signals.
    bool updateCycleWaiting() const;
    // True while any request is under way.
    bool busy() const;
    // The desktop starts the program in this start folder at login.
    bool startsWithDesktop() const { return m_autostart == Autostart::State::Enabled; }

signals:
    // A login, typed or kept, went out to the service.
    void loginStarted();
    // The service accepted the login; kept: the one from the password store.
    void loginAccepted(bool kept);
    // The service refused the login (no retry).
    void loginRefused(bool kept);
    // The service could not be reached; a kept login is sent again in ten seconds.
    void loginUnreachable(bool kept);
    // The start folder's kept login was found, and is sent.
    void keptLoginFound(const QString& user, int system);
    // The kept login could not be read from the password store.
    void keptLoginUnreadable();

    // Each second while logged in, before the second's checks.
    void secondPassed(const QDateTime& now);
    // The service's time moved on, or the time zone changed: "Last Update" as shown.
    void serviceTimeChanged(const QString& shown);
    // The next check was scheduled: "Next Check" as shown.
    void nextCheckChanged(const QString& shown);
    // A usable signal reply arrived: every row as it now stands.
    void signalsArrived(const kelvo::service::SignalRows& rows);
    // The positions changed (the first reply's included, where first is true).
    void positionsChanged(const kelvo::service::SignalRows& previous,
                          const kelvo::service::SignalRows& current, bool first);
    // The alarm was switched on or off.
    void alarmSwitched(bool on);
    // Checks have failed for five minutes: the service has been silent since then.
    void silenceStarted(const QDateTime& since);
    // The service answers again after silence from `since`, for `seconds`.
    void answeringAgain(const QDateTime& since, qint64 seconds);
    // A check, or the signal request it led to, brought no usable answer:
    // what went wrong, in a line for tips and logs.
    void checkFailed(const QString& why);
    // Every export file of the reply was written to the folder.
    void exportWritten(const QString& folder);
    // An export file could not be written: each failed file and why.
    void exportFailed(const QString& reason);

    // What keeping the phone alerts did: kept or not, in a line.
    void phoneAlertsKept(bool kept, const QString& text);

    // Auto Start is on or off now (its login kept and its entry written, or neither).
    void autoStartChanged(bool on);
    // What the last change of Auto Start did, in a line.
    void autoStartReported(const QString& text);
    // Auto Start could not be changed: why, for a box.
    void autoStartFailed(const QString& text);

private:
    void tick();
    void checkTimerTick();
    void sendLogin(const QString& user, const QString& encodedPassword, int system, bool kept);
    void loginFinished(const HttpReply& reply, const QString& user, const QString& encodedPassword,
                       bool kept);
    void updateCycleFinished(const HttpReply& reply);
    void signalsFinished(const HttpReply& reply);
    void setNextCheck(const schedule::NextCheck& next);
    void setLastUpdate(const QString& shown);
    // Notes whether a check got its answer, and tells once the service has
    // been silent too long, or answers again.
    void checkAnswered(bool answered);
    // A check without its answer: why, from the reply's failure, else `otherwise`.
    void checkUnanswered(const HttpReply& reply, const QString& otherwise);
    void updateSilence();
    // Unattended running: the kept login and Auto Start.
    void loadAutostart();
    void keptLoginRead(PasswordStore::Status status, const QString& secret);
    void sendKeptLogin();
    void keepLogin(std::function<void(bool kept)> done);
    void forgetLogin();
    // The journal and the phone alerts follow what happens.
    void connectReporting();
    void readPhoneAlerts();
    void setAlertFolderListed(bool listed);
    // The messages' titles name the folder where more than one is listed.
    void setAlertFolders(const QStringList& listed);

    CorePlatform m_platform;
    QUrl m_serviceUrl;
    config::Settings m_settings;
    alerts::Alarm m_alarm;
    Journal m_journal;
    alerts::PhoneAlerts m_phone;
    bool m_phoneReadable = true;
    std::unique_ptr<PeriodicTimer> m_timer;      // Timer: each second
    std::unique_ptr<PeriodicTimer> m_checkTimer; // Timer_Check: each ten seconds
    std::unique_ptr<HttpTransfer> m_loginTransfer;
    std::unique_ptr<HttpTransfer> m_timeTransfer;
    std::unique_ptr<HttpTransfer> m_signalsTransfer;

    int m_system = NoSystem;
    QString m_user;
    QString m_password; // encoded; empty while nobody is logged in
    QString m_positionsKey;
    QString m_serviceTime; // BoxLastInt
    QString m_lastUpdate;  // BoxLast
    schedule::NextCheck m_nextCheck;
    bool m_manualUpdate = false;
    bool m_soundOn = true;
    bool m_alarmEnabled = true;
    bool m_exportOn = true;
    SignalRows m_rows;
    // The service's time moved on but its signals have not come in yet.
    bool m_signalsOutstanding = false;
    schedule::AnswerRecord m_answers;
    std::optional<QDateTime> m_silentSince;
    QString m_lastFailure;

    QString m_startFolder;
    Autostart::State m_autostart = Autostart::State::Absent;
    bool m_autostartBusy = false; // the password store has yet to answer
    keptlogin::Login m_keptLogin;
    std::optional<QDateTime> m_keptLoginFailedAt; // unreachable: tried again from then
};

} // namespace kelvo::service
