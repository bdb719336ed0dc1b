#include "platform/sound.h"

#include "platform/soundbackend.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QUrl>

// The build sets KELVO_SOUND_MODULE_RELDIR from the install layout; a
// guess here could only disagree with it.
#ifndef KELVO_SOUND_MODULE_RELDIR
#error "KELVO_SOUND_MODULE_RELDIR must name the sound module's folder relative to the program's"
#endif

#ifndef KELVO_ALARM_SOUND_RELDIR
#error "KELVO_ALARM_SOUND_RELDIR must name the alarm sound's folder relative to the program's"
#endif

namespace kelvo {

// Where installing puts the sound module, relative to the program's folder.
// Kept as one string in the program, where the package test reads it.
extern const char kSoundModuleRelativeDir[];
const char kSoundModuleRelativeDir[] = KELVO_SOUND_MODULE_RELDIR;
extern const char kAlarmSoundRelativeDir[];
const char kAlarmSoundRelativeDir[] = KELVO_ALARM_SOUND_RELDIR;

QtSoundPlayer::QtSoundPlayer(QStringList moduleFolders) : m_moduleFolders(std::move(moduleFolders))
{
}

QtSoundPlayer::~QtSoundPlayer() = default;

QStringList QtSoundPlayer::defaultModuleFolders()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    return {programFolder,
            QFileInfo(programFolder + QLatin1Char('/') + QLatin1String(kSoundModuleRelativeDir))
                .absoluteFilePath()};
}

QString QtSoundPlayer::installedAlarmFile() const
{
    return QFileInfo(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                     QLatin1String(kAlarmSoundRelativeDir) + QStringLiteral("/Alarm.wav"))
        .absoluteFilePath();
}

bool QtSoundPlayer::loadBackend()
{
    QStringList errors;
    for (const QString& folder : m_moduleFolders) {
        // The library stays loaded for the rest of the run: the back end's
        // code lives in it.
        QLibrary module(folder + QLatin1String("/kelvo-sound"));
        const auto create =
            reinterpret_cast<CreateSoundBackend>(module.resolve(kCreateSoundBackendSymbol));
        if (create) {
            m_backend.reset(create());
            return m_backend != nullptr;
        }
        errors << module.errorString();
    }
    qWarning("kelvo-rozevid: cannot load the sound module: %s",
             qPrintable(errors.join(QLatin1String("; "))));
    return false;
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
