#include "platform/instanceguard.h"

#include "platform/localchannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

namespace kelvo {
namespace {

// How long a second start waits for the first to answer: the first listens a
// second after its window shows, and a message box about Config.dat holds the
// window back.
constexpr int kWakeWaitMs = 10'000;
constexpr int kKnockMs = 1'000;

// Named after the folder, however it was reached, in a folder of the user's
// own: two users starting from one folder do not meet.
QString instanceName(const QString& folder)
{
    const QDir dir(folder);
    const QString path = dir.canonicalPath().isEmpty() ? dir.absolutePath() : dir.canonicalPath();
    const QByteArray key =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return QDir(runtime).filePath(QStringLiteral("kelvo-rozevid-") + QLatin1String(key));
}

} // namespace

InstanceGuard::InstanceGuard(QString folder) : m_folder(std::move(folder)) {}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::claim()
{
    m_name = instanceName(m_folder);
    m_lock = std::make_unique<QLockFile>(m_name + QStringLiteral(".lock"));
    // Held for as long as the program runs: only the death of its holder
    // frees it, never its age.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0) || m_lock->error() != QLockFile::LockFailedError;
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
