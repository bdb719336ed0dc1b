#include "config/settings.h"

#include "platform/filesave.h"

namespace kelvo::config {

const QStringList& timeZoneEntries()
{
    static const QStringList entries = {
        QStringLiteral("+12"), QStringLiteral("+11"), QStringLiteral("+10"), QStringLiteral("+09"),
        QStringLiteral("+08"), QStringLiteral("+07"), QStringLiteral("+06"), QStringLiteral("+05"),
        QStringLiteral("+04"), QStringLiteral("+03"), QStringLiteral("+02"), QStringLiteral("+01"),
        QStringLiteral("+0"),  QStringLiteral("-01"), QStringLiteral("-02"), QStringLiteral("-03"),
        QStringLiteral("-04"), QStringLiteral("-05"), QStringLiteral("-06"), QStringLiteral("-07"),
        QStringLiteral("-08"), QStringLiteral("-09"), QStringLiteral("-10"), QStringLiteral("-11"),
        QStringLiteral("-12")};
    return entries;
}

void Settings::load(const QString& appPath)
{
    m_appPath = appPath;
    const LoadOutcome outcome = evaluateConfig(readConfigFile(path()), DirExists);
    // A well-formed entry that the list lacks ("+5") chooses nothing.
    if (outcome.zoneEntry && timeZoneEntries().contains(*outcome.zoneEntry))
        setZone(*outcome.zoneEntry);
    m_savedZone = m_zone;
    if (outcome.rewrite)
        emit repaired(writeRepairedConfig(path(), outcome));
    const QString folder = outcome.folder.isEmpty() ? defaultExportFolder() : outcome.folder;
    m_folder = m_savedFolder = folder;
    emit folderReplaced(folder);
    setPending(false);
}

void Settings::setFolder(const QString& folder)
{
    m_folder = folder;
    updatePending();
}

void Settings::setZone(const QString& entry)
{
    if (entry == m_zone)
        return;
    m_zone = entry;
    emit zoneChanged(entry);
    updatePending();
}

void Settings::updatePending()
{
    setPending(m_zone != m_savedZone || m_folder != m_savedFolder);
}

void Settings::setPending(bool pending)
{
    if (pending == m_pending)
        return;
    m_pending = pending;
    emit pendingChanged(pending);
}

void Settings::save()
{
    // With no zone chosen yet the window shows times at +0: that is saved,
    // and chosen, so that the screen and the file agree.
    setZone(zoneEntryToSave(m_zone));
    const bool folderExists = DirExists(m_folder);
    const QString folder = folderExists ? m_folder : defaultExportFolder();

    if (const auto failure = writeFileAtomically(path(), configContent(folder, m_zone))) {
        // Nothing was saved, so nothing is marked as saved.
        setPending(true);
        emit saveFailed(saveFailedMessage(path(), *failure));
        return;
    }

    m_folder = m_savedFolder = folder;
    m_savedZone = m_zone;
    if (!folderExists)
        emit folderReplaced(folder);
    setPending(false);
    emit saved(folder, m_zone);
    if (!folderExists)
        emit folderMissing(folderMissingOnSaveMessage());
}

} // namespace kelvo::config
