#include "platform/sound.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <qt_windows.h>
// (after the Windows header, whose types it uses)
#include <mmsystem.h>

namespace kelvo {
namespace {

// Plays through winmm's PlaySound, asynchronously; the installed sound lies
// beside the program.
class WinSoundPlayer final : public SoundPlayer {
public:
    bool play(const QString& fileName) override;
    QString installedAlarmFile() const override;
};

bool WinSoundPlayer::play(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable())
        return false;
    // A new sound stops the one still playing. Without SND_NODEFAULT a file
    // that cannot be played would sound the default sound and report success.
    const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
    return PlaySoundW(reinterpret_cast<LPCWSTR>(path.utf16()), nullptr,
                      SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}

QString WinSoundPlayer::installedAlarmFile() const
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Alarm.wav");
}

} // namespace

std::shared_ptr<SoundPlayer> desktopSoundPlayer()
{
    return std::make_shared<WinSoundPlayer>();
}

} // namespace kelvo
