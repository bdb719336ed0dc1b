// Writes the alarm sound: a two-tone chime, 880 Hz then 660 Hz, four times
// over, about two seconds in all. 16-bit PCM, mono, 22050 Hz.
//
//   kelvo-make-alarm-wav <output.wav>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kSampleRate = 22050;
constexpr int kBitsPerSample = 16;
constexpr int kChannels = 1;

struct Note {
    double frequency; // Hz; 0 for a pause
    double seconds;
};

// The pattern of one round: high beep, short pause, low beep, longer pause.
constexpr Note kRound[] = {
    {880.0, 0.18},
    {0.0, 0.04},
    {660.0, 0.18},
    {0.0, 0.10},
};
constexpr int kRounds = 4;

constexpr double kLevel = 0.7;     // of full scale, before the harmonics
constexpr double kAttack = 0.008;  // seconds of fade-in
constexpr double kRelease = 0.025; // seconds of fade-out
constexpr double kDecayRate = 3.0; // per second: a slight chime-like decay

// One beep: the fundamental with a little of the second and third harmonic,
// which makes it carry without sounding harsh; faded in and out so that it
// starts and stops without a click.
void appendBeep(std::vector<double>& out, double frequency, double seconds)
{
    const int count = static_cast<int>(seconds * kSampleRate);
    const int attack = static_cast<int>(kAttack * kSampleRate);
    const int release = static_cast<int>(kRelease * kSampleRate);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        double envelope = std::exp(-kDecayRate * t);
        if (i < attack) {
            envelope *= 0.5 - 0.5 * std::cos(std::numbers::pi * i / attack);
        }
        const int fromEnd = count - 1 - i;
        if (fromEnd < release) {
            envelope *= 0.5 - 0.5 * std::cos(std::numbers::pi * fromEnd / release);
        }
        const double phase = 2.0 * std::numbers::pi * frequency * t;
        const double wave =
            std::sin(phase) + 0.30 * std::sin(2.0 * phase) + 0.12 * std::sin(3.0 * phase);
        out.push_back(kLevel * envelope * wave / 1.42);
    }
}

void appendSilence(std::vector<double>& out, double seconds)
{
    out.insert(out.end(), static_cast<std::size_t>(seconds * kSampleRate), 0.0);
}

void putU16(std::string& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void putU32(std::string& bytes, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

// A canonical 44-byte RIFF/WAVE header followed by the samples, all little
// endian whatever the machine.
std::string encodeWave(const std::vector<double>& samples)
{
    const std::uint32_t blockAlign = kChannels * kBitsPerSample / 8;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size()) * blockAlign;

    std::string bytes;
    bytes.reserve(44 + dataSize);
    bytes += "RIFF";
    putU32(bytes, 36 + dataSize);
    bytes += "WAVE";
    bytes += "fmt ";
    putU32(bytes, 16); // size of the format chunk
    putU16(bytes, 1);  // PCM
    putU16(bytes, kChannels);
    putU32(bytes, kSampleRate);
    putU32(bytes, kSampleRate * blockAlign); // bytes per second
    putU16(bytes, static_cast<std::uint16_t>(blockAlign));
    putU16(bytes, kBitsPerSample);
    bytes += "data";
    putU32(bytes, dataSize);
    for (const double sample : samples) {
        const double clamped = std::clamp(sample, -1.0, 1.0);
        const auto value = static_cast<std::int16_t>(std::lround(clamped * 32767.0));
        putU16(bytes, static_cast<std::uint16_t>(value));
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.wav>\n", argc > 0 ? argv[0] : "make_alarm_wav");
        return 2;
    }

    std::vector<double> samples;
    for (int round = 0; round < kRounds; ++round) {
        for (const Note& note : kRound) {
            if (note.frequency > 0.0) {
                appendBeep(samples, note.frequency, note.seconds);
            } else {
                appendSilence(samples, note.seconds);
            }
        }
    }

    const std::string bytes = encodeWave(samples);
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
