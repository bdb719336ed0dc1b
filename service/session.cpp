#include "service/session.h"

#include "service/exportfile.h"
#include "service/protocol.h"

#include <QDir>
#include <QtDebug>

namespace kelvo::service {

Session::Session(CorePlatform platform, const QUrl& serviceUrl, QObject* parent)
    : QObject(parent), m_platform(std::move(platform)), m_serviceUrl(serviceUrl),
      m_alarm(m_platform.sound, m_platform.beep), m_journal(m_platform.clock),
      m_phone(m_platform.clock, m_platform.makeTransfer)
{
    connectReporting();
    m_loginTransfer = m_platform.makeTransfer();
    m_timeTransfer = m_platform.makeTransfer();
    m_signalsTransfer = m_platform.makeTransfer();
    connect(&m_alarm, &alerts::Alarm::switched, this, &Session::alarmSwitched);
    // Each pick of a zone starts again from the service's own time, so
    // shifts never add up.
    connect(&m_settings, &config::Settings::zoneChanged, this, [this](const QString& zone) {
        if (!m_serviceTime.isEmpty())
            setLastUpdate(schedule::convertToZone(m_serviceTime, zone));
    });
    m_timer = m_platform.makeTimer(this);
    m_checkTimer = m_platform.makeTimer(this);
    m_timer->start(1000, [this] { tick(); });
    m_checkTimer->start(10000, [this] { checkTimerTick(); });
}

Session::~Session() = default;

void Session::load()
{
    m_settings.load(config::appPathFor(QDir::currentPath()));
    loadAutostart();
    m_journal.setFolder(QDir::currentPath());
    readPhoneAlerts();
    runUpdateCycle();
}

void Session::stop()
{
    m_loginTransfer->cancel();
    m_timeTransfer->cancel();
    m_signalsTransfer->cancel();
    m_timer.reset();
    m_checkTimer.reset();
}

void Session::login(const QString& user, const QString& password, const QString& systemName)
{
    const int picked = systemCodeForName(systemName);
    if (picked != NoSystem)
        m_system = picked;
    sendLogin(user, encodePassword(password), picked, false);
}

void Session::sendLogin(const QString& user, const QString& encodedPassword, int system, bool kept)
{
    m_keptLoginFailedAt.reset(); // a kept login waiting to be sent again, or the user's own
    m_loginTransfer->get(loginUrl(m_serviceUrl, user, encodedPassword, system),
                         [this, user, encodedPassword, kept](const HttpReply& reply) {
                             loginFinished(reply, user, encodedPassword, kept);
                         });
    emit loginStarted();
}

void Session::loginFinished(const HttpReply& reply, const QString& user,
                            const QString& encodedPassword, bool kept)
{
    const LoginOutcome outcome = loginOutcome(reply.text().text, reply.failed());
    if (kept && keptlogin::afterLogin(outcome) == keptlogin::Next::TryAgain) {
        // Never a panel that waits for a person because the network was late.
        m_keptLoginFailedAt = m_platform.clock->now();
        emit loginUnreachable(true);
        return;
    }
    if (outcome != LoginOutcome::Accepted) {
        m_platform.beep->beep();
        // A service out of reach is no wrong password: the user would only
        // type it again.
        if (outcome == LoginOutcome::Refused)
            emit loginRefused(kept);
        else
            emit loginUnreachable(kept);
        return;
    }
    begin(user, encodedPassword, m_system, kept);
}

void Session::begin(const QString& user, const QString& encodedPassword, int system, bool kept)
{
    m_user = user;
    m_password = encodedPassword;
    m_system = system;
    m_rows = emptySignalRows(system);
    m_answers.answered(m_platform.clock->now());
    emit loginAccepted(kept);
    // A login by hand in a folder with a kept login replaces it.
    if (!kept && m_autostart != Autostart::State::Absent) {
        keepLogin([this](bool done) {
            emit autoStartChanged(done && m_autostart == Autostart::State::Enabled);
        });
    }
}

bool Session::updateCycleWaiting() const
{
    return m_timeTransfer->stillExecuting() || m_signalsTransfer->stillExecuting();
}

bool Session::busy() const
{
    return updateCycleWaiting() || m_loginTransfer->stillExecuting() || m_phone.busy();
}

std::optional<QDateTime> Session::nextCheckDue() const
{
    if (m_nextCheck.text.isEmpty() || !m_nextCheck.due.isValid())
        return std::nullopt;
    return m_nextCheck.due;
}

void Session::setNextCheck(const schedule::NextCheck& next)
{
    const QString text = schedule::ElimSpaces(next.text);
    const bool changed = text != m_nextCheck.text || next.due != m_nextCheck.due;
    m_nextCheck = next;
    m_nextCheck.text = text;
    if (changed)
        emit nextCheckChanged(text);
}

void Session::setLastUpdate(const QString& shown)
{
    if (shown == m_lastUpdate)
        return;
    m_lastUpdate = shown;
    emit serviceTimeChanged(shown);
}

void Session::runUpdateCycle()
{
    if (!isLoggedIn())
        return;
    if (m_soundOn && m_manualUpdate)
        m_platform.beep->beep();
    m_timeTransfer->get(timeUrl(m_serviceUrl),
                        [this](const HttpReply& reply) { updateCycleFinished(reply); });
}

void Session::updateCycleFinished(const HttpReply& httpReply)
{
    const QDateTime now = m_platform.clock->now();
    // Anything but a time of day (an error page from a proxy, say) counts as
    // a failed request.
    const QString rawReply = httpReply.failed() ? QString() : httpReply.text().text;
    const QString reply = isValidTimeReply(rawReply) ? rawReply : QString();

    if (reply.isEmpty()) {
        m_manualUpdate = false;
        checkUnanswered(httpReply, QStringLiteral("an answer that is no time of day"));
    } else if (m_lastUpdate.isEmpty() || reply != m_serviceTime || m_signalsOutstanding) {
        // New data on the service, or data whose signals never arrived:
        // fetch them, and look again at minute 58.
        setNextCheck(schedule::nextCheckAfterChange(now));
        m_serviceTime = reply;
        setLastUpdate(schedule::convertToZone(m_serviceTime, m_settings.zone()));
        m_manualUpdate = false;
        fetchSignals();
    } else if (!m_manualUpdate) {
        setNextCheck(schedule::nextCheckByLadder(now));
        checkAnswered(true);
    } else {
        m_manualUpdate = false;
        checkAnswered(true);
    }

    if (m_nextCheck.text.isEmpty())
        setNextCheck(schedule::nextCheckByLadder(now));
}

void Session::fetchSignals()
{
    if (!isLoggedIn())
        return;
    const QUrl url = signalsUrl(m_serviceUrl, m_user, m_password, m_system);
    if (m_soundOn)
        m_platform.beep->beep();
    m_signalsTransfer->get(url, [this](const HttpReply& reply) { signalsFinished(reply); });
}

void Session::signalsFinished(const HttpReply& httpReply)
{
    // A failed, empty or unusable reply changes nothing: the rows, the key
    // and the export files keep what they had.
    const ReplyBodyText rawReply = httpReply.text();
    const std::optional<QString> reply =
        httpReply.failed() ? std::nullopt : cleanSignalReply(rawReply.text);
    m_signalsOutstanding = !reply;
    if (!reply) {
        // Ask again soon rather than at minute 58: until the signals are in,
        // the export files lag behind the service.
        setNextCheck(schedule::nextCheckByLadder(m_platform.clock->now()));
        checkUnanswered(httpReply, QStringLiteral("an answer that holds no signals"));
        return;
    }
    checkAnswered(true);
    const QStringList fields = splitSignalReply(*reply);
    const SignalRows previous = m_rows;
    fillSignalRows(m_rows, fields);
    emit signalsArrived(m_rows);

    // A reply too short to form the key is no change of signals.
    const std::optional<QString> key = signalKey(fields, m_system);
    if (key && *key != m_positionsKey) {
        const bool first = m_positionsKey.isEmpty();
        m_positionsKey = *key;
        emit positionsChanged(previous, m_rows, first);
        if (!first && m_alarmEnabled)
            m_alarm.setOn(true);
    }

    if (m_exportOn) {
        const QString folder = m_settings.folder();
        const auto results =
            writeExports(folder, m_system, fields, m_lastUpdate, rawReply.encoding);
        // Told, never asked: an unattended client must not stop and wait
        // for a click.
        if (const auto failure = exportFailure(results)) {
            if (failure->failed) {
                qWarning().noquote() << "could not write" << failure->details;
                emit exportFailed(failure->details);
            } else {
                emit exportWritten(folder);
            }
        }
    }
}

void Session::checkUnanswered(const HttpReply& reply, const QString& otherwise)
{
    m_lastFailure = reply.failed() ? reply.error : otherwise;
    emit checkFailed(m_lastFailure);
    checkAnswered(false);
}

void Session::checkAnswered(bool answered)
{
    const QDateTime now = m_platform.clock->now();
    if (answered)
        m_answers.answered(now);
    else
        m_answers.failed(now);
    updateSilence();
}

void Session::updateSilence()
{
    const QDateTime now = m_platform.clock->now();
    const auto since = m_answers.silentSince(now);
    if (since == m_silentSince)
        return;
    const auto before = std::exchange(m_silentSince, since);
    if (since)
        emit silenceStarted(*since);
    else
        emit answeringAgain(*before, before->secsTo(now));
}

void Session::tick()
{
    const QDateTime now = m_platform.clock->now();
    m_journal.flush(now);
    m_phone.tick(now);
    if (m_keptLoginFailedAt && !isLoggedIn() && !m_loginTransfer->stillExecuting() &&
        keptlogin::elapsed(*m_keptLoginFailedAt, now, keptlogin::kRetrySeconds))
        sendKeptLogin();
    if (!isLoggedIn())
        return;
    emit secondPassed(now);
    updateSilence();
    // No signal shown yet: ask again every second. An automatic cycle never
    // starts while another one still waits for its reply.
    const bool noSignalYet = m_rows.isEmpty() || m_rows.first().cells.first().size() < 2;
    if (noSignalYet && !updateCycleWaiting()) {
        setLastUpdate(QString());
        runUpdateCycle();
    }
    m_alarm.step();
}

void Session::checkTimerTick()
{
    if (!isLoggedIn())
        return;
    if (!updateCycleWaiting() && schedule::isCheckDue(m_platform.clock->now(), nextCheckDue()))
        runUpdateCycle();
}

void Session::updateNow()
{
    m_manualUpdate = true;
    runUpdateCycle();
}

} // namespace kelvo::service
