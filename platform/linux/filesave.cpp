// Writing a file on Linux. The folder is opened once and every step is taken
// relative to its descriptor, with no link followed at the name: what another
// user does to the names of a shared folder meanwhile never sends a write
// elsewhere.
#include "platform/filesave.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvo {
namespace {

// Links followed one after the other before the write gives up.
constexpr int kMaxLinks = 8;

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes it, and tells whether the last of its data was taken.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A path's folder and its last name; "." for a bare name.
struct Place {
    QByteArray folder;
    QByteArray name;
};

Place placeOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {QByteArrayLiteral("."), path};
    return {slash == 0 ? QByteArrayLiteral("/") : path.left(slash), path.mid(slash + 1)};
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* at = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        left -= written;
    }
    return true;
}

// Rewrites an existing regular file in place, for a folder that lets its
// files be written but no new file be created there. The room for the new
// content is claimed before a byte of the old one is touched, and the file is
// cut to its new length only after the whole content is in it: on a full disk
// the old content stays whole. A link at the name is never followed, and
// anything but a regular file is left alone (a FIFO does not block the open).
std::optional<QString> overwriteInPlace(int folder, const QByteArray& name, const QByteArray& bytes)
{
    const Descriptor file(
        ::openat(folder, name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0)
        return reasonOf(errno);
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("it is not a regular file");
    if (!bytes.isEmpty()) {
        if (const int error = ::posix_fallocate(file.get(), 0, bytes.size()))
            return reasonOf(error);
    }
    if (!writeAll(file.get(), bytes) || ::ftruncate(file.get(), bytes.size()) != 0 ||
        ::fsync(file.get()) != 0)
        return reasonOf(errno);
    return std::nullopt;
}

// A name for the temporary file beside `name` that no other file has yet;
// kept short enough for any file system.
QByteArray temporaryName(const QByteArray& name)
{
    return '.' + name.left(200) + '.' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

// Replaces the entry `name` of the open folder with a new file holding
// `bytes`, whatever stands there by then.
std::optional<QString> replaceInFolder(int folder, const QByteArray& name, const QByteArray& bytes)
{
    struct stat existing {};
    const bool regular = ::fstatat(folder, name.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISREG(existing.st_mode);
    QByteArray temporary;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temporary = temporaryName(name);
        fd = ::openat(folder, temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        // No temporary file could be made beside it: write the file itself.
        const int error = errno;
        return overwriteInPlace(folder, name, bytes) ? std::optional(reasonOf(error))
                                                     : std::nullopt;
    }
    Descriptor file(fd);
    // The new file keeps the permissions of the one it replaces.
    if (regular)
        ::fchmod(fd, existing.st_mode & 0777);
    // Synced before the rename: a write error that shows only when the data
    // goes to disk (a full disk, say) would otherwise be missed, and the short
    // file would replace the good one.
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0 || !file.close()) {
        const int error = errno;
        ::unlinkat(folder, temporary.constData(), 0);
        return reasonOf(error);
    }
    if (::renameat(folder, temporary.constData(), folder, name.constData()) != 0) {
        // The file could not be replaced: in a shared folder another user's
        // file may not be renamed over, though it may let itself be written. A
        // stale file would be worse than one rewritten in place.
        const int error = errno;
        ::unlinkat(folder, temporary.constData(), 0);
        return overwriteInPlace(folder, name, bytes) ? std::optional(reasonOf(error))
                                                     : std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> writeAt(const QByteArray& path, const QByteArray& bytes, AtLink atLink,
                               int linksFollowed)
{
    const Place place = placeOf(path);
    if (place.name.isEmpty())
        return reasonOf(EISDIR);
    const Descriptor folder(::open(place.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        return reasonOf(errno);
    struct stat status {};
    const bool exists =
        ::fstatat(folder.get(), place.name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(status.st_mode) && atLink == AtLink::FollowOwn) {
        // The owner is checked, and the target read, on a descriptor of the
        // link itself: the link whose owner was checked is the one followed.
        const Descriptor link(
            ::openat(folder.get(), place.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat linkStatus {};
        if (!link.valid() || ::fstat(link.get(), &linkStatus) != 0)
            return reasonOf(errno);
        if (S_ISLNK(linkStatus.st_mode)) {
            if (linkStatus.st_uid != ::geteuid())
                return QStringLiteral("it is another user's link, which is never followed");
            if (linksFollowed >= kMaxLinks)
                return reasonOf(ELOOP);
            QByteArray target(PATH_MAX, '\0');
            const ssize_t length = ::readlinkat(link.get(), "", target.data(), target.size());
            if (length < 0)
                return reasonOf(errno);
            target.truncate(length);
            if (!target.startsWith('/'))
                target = place.folder + '/' + target;
            return writeAt(target, bytes, atLink, linksFollowed + 1);
        }
    } else if (exists && linksFollowed > 0 && !S_ISREG(status.st_mode)) {
        return QStringLiteral("it is a link to something that is not a regular file");
    }
    return replaceInFolder(folder.get(), place.name, bytes);
}

} // namespace

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes,
                                           AtLink atLink)
{
    return writeAt(QFile::encodeName(path), bytes, atLink, 0);
}

std::optional<SymlinkAt> symlinkAt(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
        return std::nullopt;
    SymlinkAt link;
    link.own = status.st_uid == ::geteuid();
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(name.constData(), target.data(), target.size());
    link.target = QFile::decodeName(target.left(qMax<ssize_t>(length, 0)));
    struct stat followed {};
    if (::stat(name.constData(), &followed) == 0 && S_ISREG(followed.st_mode)) {
        link.toRegularFile = true;
        link.targetSize = followed.st_size;
    }
    return link;
}

} // namespace kelvo
