#include "restricteddir.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace kelvo::test {
namespace {

bool writeFiles(const QString& dir, const QMap<QString, QByteArray>& files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile file(dir + QLatin1Char('/') + it.key());
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return false;
    }
    return true;
}

} // namespace

RestrictedDir::RestrictedDir(const QString& path, Kind kind, const QMap<QString, QByteArray>& files,
                             int capacityBytes)
    : m_path(path)
{
    QDir().mkpath(path);
#ifdef Q_OS_LINUX
    const QByteArray where = QFile::encodeName(path);
    if (geteuid() == 0) {
        // Room for the given files plus the capacity; tmpfs counts whole
        // pages, a page at least for every file.
        const bool full = kind == Full || kind == FullNoNewFiles;
        long pages = (capacityBytes + 4095) / 4096 + (full ? 0 : 4);
        for (const QByteArray& data : files)
            pages += qMax<long>(1, (data.size() + 4095) / 4096);
        QByteArray options = "size=" + QByteArray::number(qMax(1L, pages) * 4096);
        // An inode for the folder itself, each file and the filler, and none
        // to spare.
        if (kind == NoNewFiles || kind == FullNoNewFiles)
            options += ",nr_inodes=" + QByteArray::number(files.size() + (full ? 2 : 1));
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) != 0) {
            m_reason = QStringLiteral("cannot mount a tmpfs here: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_mounted = true;
        if (!writeFiles(path, files)) {
            m_reason = QStringLiteral("cannot fill the test folder");
            return;
        }
        if (full && capacityBytes == 0) {
            // Take up whatever the page rounding left over.
            QFile filler(path + QStringLiteral("/filler"));
            if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
                const QByteArray block(512, 'x');
                while (filler.write(block) == block.size()) {
                }
            }
        }
        if (kind == ReadOnly &&
            ::mount(nullptr, where.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            m_reason = QStringLiteral("cannot remount read-only: %1")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        m_ready = true;
        return;
    }
    if (!writeFiles(path, files)) {
        m_reason = QStringLiteral("cannot fill the test folder");
        return;
    }
    if (kind == Full || kind == FullNoNewFiles) {
        m_reason = QStringLiteral("a full disk can only be simulated as root (tmpfs)");
        return;
    }
    for (auto it = files.cbegin(); it != files.cend() && kind == ReadOnly; ++it)
        QFile::setPermissions(path + QLatin1Char('/') + it.key(),
                              QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    m_chmodded = true;
    m_ready = true;
#else
    Q_UNUSED(kind);
    Q_UNUSED(files);
    Q_UNUSED(capacityBytes);
    m_reason = QStringLiteral("restricted folders are only made on Linux");
#endif
}

RestrictedDir::~RestrictedDir()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    if (m_chmodded) {
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const QString& name : QDir(m_path).entryList(QDir::Files))
            QFile::setPermissions(m_path + QLatin1Char('/') + name,
                                  QFile::ReadOwner | QFile::WriteOwner);
    }
#endif
}

} // namespace kelvo::test
