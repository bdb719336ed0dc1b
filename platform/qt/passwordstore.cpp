// The system's password store through QtKeychain: the Secret Service (or
// KWallet) on Linux, the Credential Manager on Windows. Its jobs run
// asynchronously and answer through the event loop.
#include "platform/passwordstore.h"

#include <QSysInfo>
#include <qt6keychain/keychain.h>

namespace kelvo {
namespace {

constexpr char kService[] = "Kelvo-Rozevid";

// The Credential Manager names an item by its key alone, so there the key
// carries the program's name too.
QString keyOf(const QString& account)
{
    return QSysInfo::productType() == QLatin1String("windows")
               ? QLatin1String(kService) + QLatin1Char(':') + account
               : account;
}

PasswordStore::Status statusOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return PasswordStore::Status::Done;
    case QKeychain::EntryNotFound:
        return PasswordStore::Status::NotFound;
    default:
        return PasswordStore::Status::Failed;
    }
}

class KeychainStore final : public PasswordStore {
public:
    void read(const QString& account, Answer answer) override
    {
        auto* job = new QKeychain::ReadPasswordJob(QLatin1String(kService));
        start(job, account, [job, answer](Status status) {
            answer(status, status == Status::Done ? job->textData() : QString());
        });
    }

    void keep(const QString& account, const QString& secret, Answer answer) override
    {
        auto* job = new QKeychain::WritePasswordJob(QLatin1String(kService));
        job->setTextData(secret);
        start(job, account, [answer, account](Status status) {
            if (status == Status::Done)
                labelKeptSecret(QLatin1String(kService), keyOf(account),
                                QStringLiteral("Kelvo-Rozevid login for %1").arg(account));
            answer(status, QString());
        });
    }

    void forget(const QString& account, Answer answer) override
    {
        auto* job = new QKeychain::DeletePasswordJob(QLatin1String(kService));
        start(job, account, [answer](Status status) {
            answer(status == Status::NotFound ? Status::Done : status, QString());
        });
    }

private:
    static void start(QKeychain::Job* job, const QString& account,
                      std::function<void(Status)> finished)
    {
        job->setKey(keyOf(account));
        // Never a plain file in the store's place.
        job->setInsecureFallback(false);
        job->setAutoDelete(true);
        QObject::connect(job, &QKeychain::Job::finished, job,
                         [finished](QKeychain::Job* done) { finished(statusOf(*done)); });
        job->start();
    }
};

} // namespace

QString passwordStoreRemovalHint(const QString& account)
{
    if (QSysInfo::productType() == QLatin1String("windows"))
        return QStringLiteral("in Credential Manager (Control Panel), Windows Credentials, the "
                              "credential %1.")
            .arg(keyOf(account));
    return QStringLiteral("in Passwords and Keys (Seahorse) or KWallet, the item %1 for %2; or "
                          "run: secret-tool clear server %1 user '%3'")
        .arg(QLatin1String(kService), account,
             QString(account).replace(QLatin1Char('\''), QStringLiteral("'\\''")));
}

std::shared_ptr<PasswordStore> systemPasswordStore()
{
    return std::make_shared<KeychainStore>();
}

} // namespace kelvo
