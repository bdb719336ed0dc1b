#pragma once

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

namespace kelvo {

class InstanceChannel;

// One running program per start folder: the folder holds Config.dat, and two
// programs there would both poll, write the same export files and sound two
// alarms. The folder's program holds a lock file, which a program that dies
// leaves to the next start, and listens on a local socket for later starts.
// Both live in a folder only the user may enter (privatefolder.h).
class InstanceGuard {
public:
    explicit InstanceGuard(QString folder);
    ~InstanceGuard();

    // First: this process is the folder's program, it took the lock.
    // Running: another program holds it. Unguarded: no lock can be kept (no
    // private folder, a full disk), problem() says why; the start goes on.
    enum class Claim { First, Running, Unguarded };
    // Needs nothing but Qt Core, and may run on a thread of its own. A lock
    // that names this very process (its id reused since the lock was left)
    // or a process that is not this program is stale.
    Claim claim();
    QString problem() const { return m_problem; }
    QString lockFile() const;
    // Has the folder's program bring its window back, waiting while that
    // program is still starting; true once it has.
    bool wakeRunning();
    // From now on each later start in the folder calls onAnotherStart. Loads
    // the network module: call it once the window is up.
    void listen(std::function<void()> onAnotherStart);

private:
    QString m_folder;
    QString m_name; // the socket's; the lock file's with ".lock"
    QString m_problem;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<InstanceChannel> m_channel;
};

} // namespace kelvo
