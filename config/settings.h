#pragma once

#include "config/configfile.h"

#include <QObject>
#include <QString>
#include <QStringList>

namespace kelvo::config {

// The time-zone list's entries, from "+12" down to "-12".
const QStringList& timeZoneEntries();

// The settings of a start folder: the export folder and the time zone as
// the user has them (chosen, or typed and not yet saved), what Config.dat
// holds, and loading and saving it.
class Settings : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Reads Config.dat in the start folder (ended by its separator),
    // repairing a damaged one.
    void load(const QString& appPath);
    QString path() const { return m_appPath + QLatin1String(kFileName); }

    // The export folder as typed: exports go there, saved or not.
    QString folder() const { return m_folder; }
    void setFolder(const QString& folder);
    // The chosen time-zone entry; empty while none is chosen.
    QString zone() const { return m_zone; }
    void setZone(const QString& entry);
    // The folder or the zone differs from what was last loaded or saved.
    bool isPending() const { return m_pending; }

    // Writes Config.dat (Apply/Save). A folder that does not exist is saved,
    // and shown, as the default folder; with no zone chosen "+0" is saved,
    // and chosen.
    void save();

signals:
    // The program put this folder in place of the one typed.
    void folderReplaced(const QString& folder);
    // The chosen zone changed, by the user or by the program.
    void zoneChanged(const QString& entry);
    // The settings now differ, or no longer differ, from the file's.
    void pendingChanged(bool pending);
    // Config.dat was missing or damaged and was written anew: what was done.
    void repaired(const kelvo::config::Message& message);
    // Config.dat now holds the folder and the zone.
    void saved(const QString& folder, const QString& zone);
    // Saved, with the default folder, since the one typed does not exist.
    void folderMissing(const kelvo::config::Message& message);
    // Config.dat could not be written; nothing counts as saved.
    void saveFailed(const kelvo::config::Message& message);

private:
    void setPending(bool pending);
    void updatePending();

    QString m_appPath;
    QString m_folder;
    QString m_savedFolder; // BoxPathString
    QString m_zone;
    QString m_savedZone; // OldGMT
    bool m_pending = false;
};

} // namespace kelvo::config
