#pragma once

#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace kelvo::test {

// A folder on a small tmpfs of its own, holding `files` (name -> bytes), that
// refuses to be written, is full, or has no inode left for a new file. Needs
// root; isReady() is false elsewhere.
class RestrictedDir {
public:
    enum Kind { ReadOnly, Full, NoNewFiles, FullNoNewFiles };

    RestrictedDir(const QString& path, Kind kind, const QMap<QString, QByteArray>& files)
        : m_path(path)
    {
#ifdef Q_OS_LINUX
        const bool full = kind == Full || kind == FullNoNewFiles;
        // tmpfs counts whole pages: one for each file, four more to spare
        // unless full; an inode for the folder, each file and the filler.
        QByteArray options = "size=" + QByteArray::number((files.size() + (full ? 0 : 4)) * 4096);
        if (kind == NoNewFiles || kind == FullNoNewFiles)
            options += ",nr_inodes=" + QByteArray::number(files.size() + (full ? 2 : 1));
        const QByteArray where = QFile::encodeName(path);
        if (geteuid() != 0 || !QDir().mkpath(path) ||
            ::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) != 0)
            return;
        m_mounted = true;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QFile file(path + QLatin1Char('/') + it.key());
            if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
                return;
        }
        QFile filler(path + QStringLiteral("/filler"));
        if (full && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            while (filler.write(QByteArray(512, 'x')) == 512) {
            }
        }
        m_ready = kind != ReadOnly || ::mount(nullptr, where.constData(), nullptr,
                                              MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#endif
    }
    ~RestrictedDir()
    {
#ifdef Q_OS_LINUX
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
#endif
    }
    RestrictedDir(const RestrictedDir&) = delete;
    RestrictedDir& operator=(const RestrictedDir&) = delete;

    bool isReady() const
    {
        return m_ready;
    }
    QString path() const
    {
        return m_path;
    }

private:
    QString m_path;
    bool m_mounted = false;
    bool m_ready = false;
};

} // namespace kelvo::test
