#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace kelvo {

// Starting the program when the user logs in to the desktop, in a given start
// folder: one entry per start folder, so that two folders (two accounts) are
// started side by side. On Linux an XDG autostart entry, on Windows a value
// under the user's Run key.
class Autostart {
public:
    enum class State {
        Absent,   // no entry for the folder
        Enabled,  // the desktop starts the program there
        Disabled, // an entry the user switched off in the desktop's own settings
    };

    virtual ~Autostart() = default;
    virtual State state(const QString& startFolder) const = 0;
    // Makes the desktop start `program` in the folder, replacing an entry
    // that names another program (one that has moved). False when the entry
    // cannot be written.
    virtual bool enable(const QString& startFolder, const QString& program) = 0;
    // Removes the folder's entry; true when there is none left.
    virtual bool disable(const QString& startFolder) = 0;
};

// The desktop's own autostart (one implementation per platform).
std::shared_ptr<Autostart> desktopAutostart();

// The program's desktop entry id: the name of its installed menu entry, and of
// the icon that entry and the autostart entries show.
inline constexpr char kIconName[] = "org.kelvorozevid.KelvoRozevid";

// How the program was started. The entry starts it with "--autostart" and
// the start folder after it (the desktop may start it in any folder): as it
// is, or in an XDG entry, where some starters would not carry a character of
// it, as a file URL.
struct StartArguments {
    bool byDesktop = false;
    QString folder; // empty: the current folder
};
StartArguments parseStartArguments(const QStringList& arguments);

// The name of a start folder's entry, the same for the same folder at every
// start and different for another folder.
QString autostartEntryName(const QString& startFolder);

// The XDG autostart entry (a desktop entry file) that starts `program` in the
// folder, named after the folder, with the arguments quoted as desktop
// entries quote them.
QString xdgAutostartEntry(const QString& program, const QString& startFolder);

// The Run value's command line, with the program's path and the start folder
// quoted as Windows' command-line parsing reads them.
QString windowsRunCommand(const QString& program, const QString& startFolder);

} // namespace kelvo
