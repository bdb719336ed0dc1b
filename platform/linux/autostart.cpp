// The XDG autostart entries: a desktop entry file per start folder in
// $XDG_CONFIG_HOME/autostart/, which the desktop session (or systemd's
// xdg-autostart generator) starts when the user logs in.
#include "platform/autostart.h"

#include "platform/filesave.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace kelvo {
namespace {

class XdgAutostart final : public Autostart {
public:
    State state(const QString& startFolder) const override
    {
        QFile file(path(startFolder));
        if (!file.open(QIODevice::ReadOnly))
            return State::Absent;
        // Switched off in the desktop's settings, which keep the file.
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QByteArray l = line.trimmed();
            if (l == "Hidden=true" || l == "X-GNOME-Autostart-enabled=false")
                return State::Disabled;
        }
        return State::Enabled;
    }

    bool enable(const QString& startFolder, const QString& program) override
    {
        const QByteArray entry = xdgAutostartEntry(program, startFolder).toUtf8();
        QFile old(path(startFolder));
        if (old.open(QIODevice::ReadOnly) && old.readAll() == entry)
            return true;
        if (!QDir().mkpath(folder()))
            return false;
        return !writeFileAtomically(path(startFolder), entry);
    }

    bool disable(const QString& startFolder) override
    {
        // Deleted: an entry marked as switched off is not heeded by every
        // implementation.
        const QString file = path(startFolder);
        return QFile::remove(file) || !QFile::exists(file);
    }

private:
    static QString folder()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/autostart");
    }
    static QString path(const QString& startFolder)
    {
        return folder() + QLatin1Char('/') + autostartEntryName(startFolder) +
               QStringLiteral(".desktop");
    }
};

} // namespace

std::shared_ptr<Autostart> desktopAutostart()
{
    return std::make_shared<XdgAutostart>();
}

} // namespace kelvo
