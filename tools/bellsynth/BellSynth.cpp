// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BellSynth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include <sndfile.h>

namespace bellsynth {

namespace {

// A generator of our own: the standard distributions differ between libraries, and the output must not.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [-1, 1).
    double symmetric() { return static_cast<double>(next() >> 11) * 0x1.0p-52 - 1.0; }

private:
    std::uint64_t state;
};

constexpr double twoPi = 2.0 * std::numbers::pi;
constexpr double nyquistGuard = 0.45 * sampleRate;

// Higher bells are smaller and ring for less time.
double ringFactor(double strikeHz, const BellTimbre& timbre)
{
    return timbre.ringScale * std::clamp(std::sqrt(261.63 / strikeHz), 0.6, 1.8);
}

// The high, inharmonic modes that a hard hammer excites for an instant.
constexpr double clusterRatios[] = {5.93, 6.87, 8.12, 9.46, 10.9, 12.7};

void addTone(Samples& out, const Tone& tone)
{
    if (tone.frequency <= 0.0 || tone.frequency >= nyquistGuard || tone.t60 <= 0.0)
        return;
    const double w = twoPi * tone.frequency / sampleRate;
    const double rotC = std::cos(w), rotS = std::sin(w);
    const double decay = std::exp(-std::log(1000.0) / (tone.t60 * sampleRate));
    const double rise = std::exp(-1.0 / (std::max(tone.attack, 1e-5) * sampleRate));
    // Stop once the partial is 100 dB down; the rest is below 16-bit resolution.
    const auto audible = static_cast<std::size_t>(tone.t60 * 100.0 / 60.0 * sampleRate);
    const std::size_t n = std::min(out.size(), audible);
    double c = std::cos(tone.phase), s = std::sin(tone.phase);
    double env = tone.amplitude, pending = 1.0;
    for (std::size_t i = 0; i < n; ++i) {
        out[i] += static_cast<float>(env * (1.0 - pending) * s);
        const double c2 = c * rotC - s * rotS;
        s = s * rotC + c * rotS;
        c = c2;
        env *= decay;
        pending *= rise;
    }
}

// A few milliseconds of band-passed noise: the metallic click of the hammer.
void addStrikeNoise(Samples& out, const BellTimbre& timbre, double strikeHz, Random& random)
{
    if (timbre.strikeNoise <= 0.0)
        return;
    const double centre = std::clamp(std::max(timbre.strikeCentre, 4.0 * strikeHz), 500.0, 0.4 * sampleRate);
    const double q = 1.2;
    const double w = twoPi * centre / sampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha;
    const double b0 = alpha / a0, b2 = -alpha / a0;
    const double a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
    const double tau = 0.003;
    const std::size_t n = std::min(out.size(), static_cast<std::size_t>(0.03 * sampleRate));
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double x = random.symmetric() * std::exp(-t / tau) * std::min(1.0, t / 0.0003);
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        out[i] += static_cast<float>(timbre.strikeNoise * 2.0 * y);
    }
}

} // namespace

std::optional<double> noteFrequency(std::string_view note)
{
    static constexpr int semitoneOfLetter[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (note.size() < 2 || note.size() > 4)
        return std::nullopt;
    const char letter = note[0];
    if (letter < 'A' || letter > 'G')
        return std::nullopt;
    int semitone = semitoneOfLetter[letter - 'A'];
    std::size_t pos = 1;
    if (note[pos] == '#' || note[pos] == 'b') {
        semitone += note[pos] == '#' ? 1 : -1;
        ++pos;
    }
    int octave = 0;
    bool negative = false;
    if (pos < note.size() && note[pos] == '-') {
        negative = true;
        ++pos;
    }
    if (pos + 1 != note.size() || note[pos] < '0' || note[pos] > '9')
        return std::nullopt;
    octave = (note[pos] - '0') * (negative ? -1 : 1);
    const int midi = 12 * (octave + 1) + semitone;
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

std::vector<Tone> bellTones(double strikeHz, const BellTimbre& timbre, std::uint32_t seed)
{
    Random random(seed);
    const double ring = ringFactor(strikeHz, timbre);
    std::vector<Tone> tones;
    for (const BellPartial& p : timbre.partials) {
        const double f = strikeHz * p.ratio * (1.0 + p.detune * random.symmetric());
        const double phase = twoPi * (0.5 + 0.5 * random.symmetric());
        const double t60 = p.t60 * ring;
        tones.push_back({f, p.amplitude, t60, p.attack, phase});
        if (p.beatHz > 0.0 && p.beatLevel > 0.0) {
            const double phase2 = twoPi * (0.5 + 0.5 * random.symmetric());
            // The partner mode is slightly less damped, so the beats change as the bell rings on.
            tones.push_back({f + p.beatHz, p.amplitude * p.beatLevel, t60 * 1.15, p.attack, phase2});
        }
    }
    return tones;
}

Samples renderBell(double strikeHz, const BellTimbre& timbre, double seconds, std::uint32_t seed)
{
    Samples out(static_cast<std::size_t>(std::max(0.0, seconds) * sampleRate), 0.0f);
    if (out.empty() || !(strikeHz > 0.0))
        return out;
    for (const Tone& tone : bellTones(strikeHz, timbre, seed))
        addTone(out, tone);

    Random random(seed ^ 0xA5A5A5A5u);
    double level = timbre.clusterLevel;
    for (double ratio : clusterRatios) {
        const double f = strikeHz * ratio * (1.0 + 0.02 * random.symmetric());
        const double t60 = 0.35 * std::clamp(std::sqrt(261.63 / strikeHz), 0.5, 1.5);
        addTone(out, {f, level, t60, 0.0004, twoPi * (0.5 + 0.5 * random.symmetric())});
        level *= 0.8;
    }
    addStrikeNoise(out, timbre, strikeHz, random);
    return out;
}

Samples mix(const std::vector<Samples>& bells, const std::vector<Stroke>& strokes, double seconds)
{
    Samples out(static_cast<std::size_t>(std::max(0.0, seconds) * sampleRate), 0.0f);
    for (const Stroke& stroke : strokes) {
        if (stroke.bell < 0 || static_cast<std::size_t>(stroke.bell) >= bells.size() || stroke.time < 0.0)
            continue;
        const Samples& bell = bells[static_cast<std::size_t>(stroke.bell)];
        const auto start = static_cast<std::size_t>(std::llround(stroke.time * sampleRate));
        for (std::size_t i = 0; i < bell.size() && start + i < out.size(); ++i)
            out[start + i] += static_cast<float>(stroke.gain * bell[i]);
    }
    return out;
}

void normalise(Samples& samples, double peakDb)
{
    float peak = 0.0f;
    for (float s : samples)
        peak = std::max(peak, std::abs(s));
    if (peak <= 0.0f || !std::isfinite(peak))
        return;
    const double gain = std::pow(10.0, peakDb / 20.0) / peak;
    for (float& s : samples)
        s = static_cast<float>(s * gain);
}

void fadeOut(Samples& samples, double seconds)
{
    const std::size_t n =
        std::min(samples.size(), static_cast<std::size_t>(std::max(0.0, seconds) * sampleRate));
    const std::size_t start = samples.size() - n;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i + 1) / static_cast<double>(n);
        samples[start + i] *= static_cast<float>(0.5 * (1.0 + std::cos(std::numbers::pi * x)));
    }
}

bool writeFlac(const std::string& path, const Samples& samples)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    // Written beside the target and renamed, so a failed build never leaves a truncated sound behind.
    const std::string part = path + ".part";
    SNDFILE* file = sf_open(part.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    double level = 1.0;
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    // Our own rounding, so the stored samples do not depend on the library's conversion.
    std::vector<short> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(), [](float s) {
        return static_cast<short>(std::lround(std::clamp(static_cast<double>(s), -1.0, 1.0) * 32767.0));
    });
    const sf_count_t written = sf_write_short(file, pcm.data(), static_cast<sf_count_t>(pcm.size()));
    const bool closed = sf_close(file) == 0;
    if (written != static_cast<sf_count_t>(pcm.size()) || !closed ||
        std::rename(part.c_str(), path.c_str()) != 0) {
        std::remove(part.c_str());
        return false;
    }
    return true;
}

} // namespace bellsynth
