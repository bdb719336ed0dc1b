#include "platform/instanceguard.h"

#include "platform/localchannel.h"
#include "platform/privatefolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace kelvo {
namespace {

// How long a second start waits for the first to answer: the first listens a
// second after its window shows, and a message box about Config.dat holds the
// window back.
constexpr int kWakeWaitMs = 10'000;
constexpr int kKnockMs = 1'000;

// Named after the folder, however it was reached, in a folder of the user's
// own: two users starting from one folder do not meet. Empty without one.
QString instanceName(const QString& folder, QString* problem)
{
    const QDir dir(folder);
    const QString path = dir.canonicalPath().isEmpty() ? dir.absolutePath() : dir.canonicalPath();
    const QByteArray key =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString own = privateFolder(problem);
    return own.isEmpty()
               ? QString()
               : QDir(own).filePath(QStringLiteral("kelvo-rozevid-") + QLatin1String(key));
}

} // namespace

InstanceGuard::InstanceGuard(QString folder) : m_folder(std::move(folder)) {}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::lockFile() const
{
    const QString name = instanceName(m_folder, nullptr);
    return name.isEmpty() ? QString() : name + QStringLiteral(".lock");
}

InstanceGuard::Claim InstanceGuard::claim()
{
    m_name = instanceName(m_folder, &m_problem);
    if (m_name.isEmpty())
        return Claim::Unguarded;
    m_lock = std::make_unique<QLockFile>(m_name + QStringLiteral(".lock"));
    // Held for as long as the program runs: only the death of its holder
    // frees it, never its age.
    m_lock->setStaleLockTime(0);
    qint64 holder = 0;
    if (m_lock->getLockInfo(&holder, nullptr, nullptr) &&
        holder == QCoreApplication::applicationPid())
        m_lock->removeStaleLockFile();
    if (m_lock->tryLock(0))
        return Claim::First;
    if (m_lock->error() == QLockFile::LockFailedError)
        return Claim::Running;
    m_problem = QStringLiteral("%1 cannot be written").arg(QDir::toNativeSeparators(m_name));
    return Claim::Unguarded;
}

bool InstanceGuard::wakeRunning()
{
    const std::unique_ptr<InstanceChannel> channel = instanceChannel();
    const QDeadlineTimer deadline(kWakeWaitMs);
    while (channel && !deadline.hasExpired()) {
        if (channel->knock(m_name, kKnockMs))
            return true;
        QThread::msleep(100);
    }
    return false;
}

void InstanceGuard::listen(std::function<void()> onAnotherStart)
{
    if (!m_lock || !m_lock->isLocked() || m_channel)
        return;
    m_channel = instanceChannel();
    if (m_channel && !m_channel->listen(m_name, std::move(onAnotherStart)))
        qWarning("kelvo-rozevid: later starts in this folder cannot reach this one");
}

} // namespace kelvo
