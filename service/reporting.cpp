// Telling what happened beyond the window: each event a line in the
// journal, and the ones a trader must hear of away from the desk a message
// to the phone. Both follow the session's signals, nothing more.

#include "service/session.h"

#include <QDir>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

namespace kelvo::service {
namespace {

// Where the start folders with phone alerts are listed (no secret).
QString alertFolderListPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvo-Rozevid/phone-alerts.ini");
}

QStringList listedAlertFolders()
{
    return QSettings(alertFolderListPath(), QSettings::IniFormat)
        .value(QStringLiteral("folders"))
        .toStringList();
}

// An event of no system row.
JournalEntry entry(const QString& event, const QString& detail)
{
    JournalEntry e;
    e.event = event;
    e.detail = detail;
    return e;
}

} // namespace

void Session::connectReporting()
{
    connect(this, &Session::positionsChanged, this,
            [this](const SignalRows& previous, const SignalRows& current, bool first) {
                // The first reply of a start is no change: a second start
                // tells nothing twice.
                if (first)
                    return;
                for (const JournalEntry& change : changeEntries(previous, current))
                    m_journal.add(change);
                const QStringList lines = alerts::changeLines(previous, current);
                if (!lines.isEmpty())
                    m_phone.send(alerts::changeMessage(lines));
            });
    connect(this, &Session::silenceStarted, this, [this](const QDateTime& since) {
        const alerts::Message message = alerts::silenceMessage(since);
        m_journal.add(entry(QStringLiteral("silent"), message.text));
        m_phone.send(message);
    });
    connect(this, &Session::answeringAgain, this, [this](const QDateTime& since, qint64 seconds) {
        const alerts::Message message = alerts::answeringMessage(since, since.addSecs(seconds));
        m_journal.add(entry(QStringLiteral("answering"), message.text));
        m_phone.send(message);
    });
    connect(this, &Session::loginRefused, this, [this](bool kept) {
        if (!kept)
            return;
        const alerts::Message message = alerts::loginRefusedMessage();
        m_journal.add(entry(QStringLiteral("login_refused"), message.text));
        m_phone.send(message);
    });
    connect(this, &Session::exportFailed, this, [this](const QString& reason) {
        m_journal.add(entry(QStringLiteral("export_failed"), reason));
    });
    connect(&m_phone, &alerts::PhoneAlerts::dropped, this,
            [this](const QString& service, const QString& text, const QString& why) {
                m_journal.add(entry(QStringLiteral("alert_failed"),
                                    QStringLiteral("%1: %2 (%3)").arg(service, why, text)));
            });
}

void Session::readPhoneAlerts()
{
    const QStringList listed = listedAlertFolders();
    setAlertFolders(listed);
    // Only a folder listed has alerts: the others never wake the store.
    if (!listed.contains(m_startFolder))
        return;
    m_platform.passwordStore->read(
        alerts::storeAccount(m_startFolder),
        [self = QPointer(this)](PasswordStore::Status status, const QString& secret) {
            if (!self)
                return;
            const auto targets =
                status == PasswordStore::Status::Done ? alerts::fromSecret(secret) : std::nullopt;
            self->m_phoneReadable = status != PasswordStore::Status::Failed;
            if (targets)
                self->m_phone.setTargets(*targets);
        });
}

void Session::keepPhoneAlerts(const alerts::AlertTargets& targets)
{
    const QString account = alerts::storeAccount(m_startFolder);
    const auto answer = [self = QPointer(this), targets](PasswordStore::Status status,
                                                         const QString&) {
        if (!self)
            return;
        if (status != PasswordStore::Status::Done) {
            emit self->phoneAlertsKept(
                false, QStringLiteral("No password store is available, so the phone alerts "
                                      "cannot be kept. Nothing was saved."));
            return;
        }
        self->m_phoneReadable = true;
        self->m_phone.setTargets(targets);
        self->setAlertFolderListed(targets.any());
        emit self->phoneAlertsKept(true, targets.any() ? QStringLiteral("Phone alerts saved.")
                                                       : QStringLiteral("Phone alerts removed."));
    };
    if (targets.any())
        m_platform.passwordStore->keep(account, alerts::toSecret(targets), answer);
    else
        m_platform.passwordStore->forget(account, answer);
}

void Session::setAlertFolderListed(bool listed)
{
    QStringList folders = listedAlertFolders();
    folders.removeAll(m_startFolder);
    if (listed)
        folders.append(m_startFolder);
    QSettings(alertFolderListPath(), QSettings::IniFormat)
        .setValue(QStringLiteral("folders"), folders);
    setAlertFolders(folders);
}

void Session::setAlertFolders(const QStringList& listed)
{
    m_phone.setTitlePrefix(alerts::titlePrefix(QDir(m_startFolder).dirName(), listed.size() > 1));
}

} // namespace kelvo::service
