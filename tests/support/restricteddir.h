#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace kelvo::test {

// A folder that refuses to be written, that fills up after a few bytes, or
// whose files may be rewritten while no new file may be made in it, for
// tests of what the program does when the disk says no. As root, permission
// bits do not stop writes, so the folder is then a small tmpfs mount
// (read-only, or with no inode to spare, where asked); otherwise it is made
// read-only with chmod.
class RestrictedDir {
public:
    enum Kind { ReadOnly, Full, NoNewFiles, FullNoNewFiles };

    // Creates `path` holding `files` (name -> bytes), then restricts it.
    // For Full, the folder has room for about `capacityBytes` more bytes; with
    // none, a file "filler" takes up the last free bytes.
    RestrictedDir(const QString& path, Kind kind, const QMap<QString, QByteArray>& files = {},
                  int capacityBytes = 0);
    ~RestrictedDir();
    RestrictedDir(const RestrictedDir&) = delete;
    RestrictedDir& operator=(const RestrictedDir&) = delete;

    // False when this machine cannot make such a folder; reason() says why.
    bool isReady() const { return m_ready; }
    QString reason() const { return m_reason; }
    QString path() const { return m_path; }

private:
    QString m_path;
    bool m_ready = false;
    bool m_mounted = false;
    bool m_chmodded = false;
    QString m_reason;
};

} // namespace kelvo::test
