// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Additive model of a tuned church bell, and the mixing of bell strokes into a finished recording.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The names are generic (mix, Samples), so they stay out of the global namespace.
namespace bellsynth {

constexpr int sampleRate = 48000; // the rate the player decodes to, so loading needs no resampling

using Samples = std::vector<float>;

// One partial of a bell's tuning profile, relative to the strike note (the prime).
struct BellPartial {
    double ratio;           // frequency over the strike note
    double amplitude;       // relative to the prime
    double t60;             // seconds until the partial has fallen by 60 dB
    double attack = 0.002;  // seconds of the rise after the hammer blow
    double beatHz = 0.0;    // split of a degenerate mode pair, heard as beating
    double beatLevel = 0.0; // level of the second mode of the pair
    double detune = 0.0;    // largest random mistuning, as a fraction of the frequency
};

// The sound of one founder's bells: partials, ring length and the clang of the hammer.
struct BellTimbre {
    std::string name;
    std::vector<BellPartial> partials;
    double ringScale = 1.0;   // stretches every decay time
    double strikeNoise = 0.2; // level of the noise burst of the hammer
    double strikeCentre = 3000.0;
    double clusterLevel = 0.1; // level of the short-lived high partials of the blow
};

// A partial resolved for one bell: what is actually synthesised.
struct Tone {
    double frequency;
    double amplitude;
    double t60;
    double attack;
    double phase;
};

// One blow of the hammer on bell number `bell`, `time` seconds into the recording.
struct Stroke {
    double time;
    int bell;
    double gain;
};

// Equal temperament with A4 at 440 Hz; accepts "E3", "G#4", "Bb3". Anything else yields nothing.
std::optional<double> noteFrequency(std::string_view note);

// The sustained partials (with the second mode of every beating pair) of a bell struck at strikeHz.
std::vector<Tone> bellTones(double strikeHz, const BellTimbre& timbre, std::uint32_t seed);

// One stroke of a bell, `seconds` long, peak not normalised. Same arguments, same samples.
Samples renderBell(double strikeHz, const BellTimbre& timbre, double seconds, std::uint32_t seed);

// Adds the strokes into a recording `seconds` long; strokes of unknown bells are skipped.
Samples mix(const std::vector<Samples>& bells, const std::vector<Stroke>& strokes, double seconds);

// Scales to the given peak level in dBFS; a silent recording stays silent.
void normalise(Samples& samples, double peakDb = -1.0);

// Raised-cosine fade to silence over the last `seconds`.
void fadeOut(Samples& samples, double seconds);

// 16-bit FLAC at sampleRate, mono. False when the file cannot be written.
bool writeFlac(const std::string& path, const Samples& samples);

} // namespace bellsynth
