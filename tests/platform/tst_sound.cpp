// The sound player loads its back end, and with it Qt Multimedia, only at
// the first sound, and only for a file it can read; without the module a
// sound fails and the next one tries again.

#include "platform/sound.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using kelvo::QtSoundPlayer;

namespace {

bool multimediaLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}

// A tenth of a second of silence, 8 kHz mono 8-bit PCM.
QString writeWav(const QTemporaryDir& dir)
{
    constexpr quint32 kSamples = 800;
    QByteArray wav;
    const auto u32 = [&wav](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xff));
    };
    const auto u16 = [&wav](quint16 v) {
        wav.append(char(v & 0xff));
        wav.append(char(v >> 8));
    };
    wav.append("RIFF");
    u32(36 + kSamples);
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);    // PCM
    u16(1);    // mono
    u32(8000); // samples per second
    u32(8000); // bytes per second
    u16(1);    // block size
    u16(8);    // bits per sample
    wav.append("data");
    u32(kSamples);
    wav.append(QByteArray(kSamples, char(0x80)));
    const QString path = dir.filePath(QStringLiteral("Alarm.wav"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
        return {};
    return path;
}

} // namespace

class TestSound : public QObject {
    Q_OBJECT

private slots:
    void withoutModuleSoundsFail();
    void moduleLoadsAtTheFirstReadableSound();
};

// First, while this process has not loaded the module.
void TestSound::withoutModuleSoundsFail()
{
    QTemporaryDir dir;
    const QString wav = writeWav(dir);
    QVERIFY(!wav.isEmpty());
    QtSoundPlayer player({dir.filePath(QStringLiteral("no-such-folder"))});
    QVERIFY(!player.play(wav));
    QVERIFY(!player.play(wav)); // and again, not a crash on the second try
    QVERIFY(!multimediaLoaded());
}

void TestSound::moduleLoadsAtTheFirstReadableSound()
{
    QTemporaryDir dir;
    const QString wav = writeWav(dir);
    QtSoundPlayer player({dir.path(), QStringLiteral(KELVO_SOUND_MODULE_BUILD_DIR)});
    QVERIFY(!multimediaLoaded());

    QVERIFY(!player.play(dir.filePath(QStringLiteral("missing.wav"))));
    QVERIFY2(!multimediaLoaded(), "a missing file must not load the sound module");

    QVERIFY(player.play(wav));
    QVERIFY(multimediaLoaded());
    QVERIFY(player.play(wav)); // a second start replaces the first
}

QTEST_MAIN(TestSound)
#include "tst_sound.moc"
