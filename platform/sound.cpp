#include "platform/sound.h"

#include "platform/modules.h"
#include "platform/soundbackend.h"

#include <QFileInfo>
#include <QUrl>

#ifndef KELVO_ALARM_SOUND_RELDIR
#error "KELVO_ALARM_SOUND_RELDIR must name the alarm sound's folder relative to the program's"
#endif

namespace kelvo {

// Where installing puts the alarm sound, relative to the program's folder.
// Kept as one string in the program, where the package test reads it.
extern const char kAlarmSoundRelativeDir[];
const char kAlarmSoundRelativeDir[] = KELVO_ALARM_SOUND_RELDIR;

QtSoundPlayer::QtSoundPlayer(QStringList moduleFolders) : m_moduleFolders(std::move(moduleFolders))
{
}

QtSoundPlayer::~QtSoundPlayer() = default;

QString QtSoundPlayer::installedAlarmFile() const
{
    return besideProgram(QLatin1String(kAlarmSoundRelativeDir) + QStringLiteral("/Alarm.wav"));
}

bool QtSoundPlayer::loadBackend()
{
    QString error;
    const auto create = reinterpret_cast<CreateSoundBackend>(resolveModuleSymbol(
        m_moduleFolders, QStringLiteral("kelvo-sound"), kCreateSoundBackendSymbol, &error));
    if (!create) {
        qWarning("kelvo-rozevid: cannot load the sound module: %s", qPrintable(error));
        return false;
    }
    m_backend.reset(create());
    return m_backend != nullptr;
}

bool QtSoundPlayer::play(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable())
        return false;
    if (!m_backend && !loadBackend())
        return false;
    return m_backend->play(QUrl::fromLocalFile(info.absoluteFilePath()));
}

} // namespace kelvo
