// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ChimeSets.h"

#include <algorithm>
#include <filesystem>

namespace bellsynth {

namespace {

// Ratios of a true-harmonic tuned bell to its prime.
constexpr double hum = 0.5, prime = 1.0, tierce = 1.1892, quint = 1.4983, nominal = 2.0, deciem = 2.5198,
                 undeciem = 2.6697, twelfth = 3.0, upperOctave = 4.0, upperDeciem = 5.04;

// Prime and nominal carry most of the energy, which puts the strike pitch on the prime.
std::vector<BellTimbre> makeTimbres()
{
    std::vector<BellTimbre> t;
    t.push_back({"clock",
                 {{hum, 0.22, 9.0, 0.120, 0.6, 0.5, 0.002},
                  {prime, 1.00, 6.0, 0.002, 1.1, 0.12, 0.0},
                  {tierce, 0.30, 4.5, 0.002, 1.7, 0.35, 0.002},
                  {quint, 0.07, 2.5, 0.002, 0.0, 0.0, 0.004},
                  {nominal, 1.00, 3.5, 0.0015, 2.3, 0.2, 0.0005},
                  {deciem, 0.14, 2.0, 0.001, 0.0, 0.0, 0.005},
                  {undeciem, 0.05, 1.6, 0.001, 0.0, 0.0, 0.006},
                  {twelfth, 0.22, 1.4, 0.001, 3.1, 0.3, 0.003},
                  {upperOctave, 0.14, 1.0, 0.001, 0.0, 0.0, 0.004},
                  {upperDeciem, 0.07, 0.7, 0.001, 0.0, 0.0, 0.008}},
                 1.0,
                 0.25,
                 3200.0,
                 0.08});
    t.push_back({"hour",
                 {{hum, 0.26, 14.0, 0.150, 0.35, 0.6, 0.002},
                  {prime, 1.00, 9.0, 0.003, 0.8, 0.12, 0.0},
                  {tierce, 0.32, 6.5, 0.002, 1.3, 0.4, 0.002},
                  {quint, 0.08, 3.5, 0.002, 0.0, 0.0, 0.004},
                  {nominal, 0.95, 5.0, 0.002, 1.9, 0.25, 0.0005},
                  {deciem, 0.15, 2.8, 0.001, 0.0, 0.0, 0.005},
                  {undeciem, 0.05, 2.2, 0.001, 0.0, 0.0, 0.006},
                  {twelfth, 0.24, 2.0, 0.001, 2.4, 0.3, 0.003},
                  {upperOctave, 0.15, 1.4, 0.001, 0.0, 0.0, 0.004},
                  {upperDeciem, 0.08, 1.0, 0.001, 0.0, 0.0, 0.008}},
                 1.0,
                 0.30,
                 2200.0,
                 0.10});
    t.push_back({"ring",
                 {{hum, 0.22, 8.0, 0.120, 0.9, 0.45, 0.003},
                  {prime, 1.00, 5.0, 0.002, 1.5, 0.12, 0.0},
                  {tierce, 0.32, 3.8, 0.002, 2.2, 0.3, 0.003},
                  {quint, 0.08, 2.0, 0.002, 0.0, 0.0, 0.005},
                  {nominal, 1.00, 3.0, 0.0015, 2.8, 0.25, 0.0005},
                  {deciem, 0.15, 1.7, 0.001, 0.0, 0.0, 0.006},
                  {undeciem, 0.05, 1.4, 0.001, 0.0, 0.0, 0.007},
                  {twelfth, 0.20, 1.2, 0.001, 3.6, 0.3, 0.004},
                  {upperOctave, 0.12, 0.9, 0.001, 0.0, 0.0, 0.005},
                  {upperDeciem, 0.06, 0.6, 0.001, 0.0, 0.0, 0.009}},
                 1.2,
                 0.20,
                 2600.0,
                 0.07});
    t.push_back({"tenor",
                 {{hum, 0.28, 16.0, 0.150, 0.25, 0.6, 0.002},
                  {prime, 1.00, 10.0, 0.004, 0.6, 0.12, 0.0},
                  {tierce, 0.34, 7.0, 0.003, 1.0, 0.45, 0.002},
                  {quint, 0.09, 3.8, 0.002, 0.0, 0.0, 0.004},
                  {nominal, 0.90, 5.5, 0.002, 1.4, 0.3, 0.0005},
                  {deciem, 0.14, 3.0, 0.001, 0.0, 0.0, 0.005},
                  {undeciem, 0.06, 2.4, 0.001, 0.0, 0.0, 0.006},
                  {twelfth, 0.20, 2.1, 0.001, 1.8, 0.35, 0.003},
                  {upperOctave, 0.12, 1.5, 0.001, 0.0, 0.0, 0.004},
                  {upperDeciem, 0.06, 1.1, 0.001, 0.0, 0.0, 0.008}},
                 1.1,
                 0.28,
                 1800.0,
                 0.08});
    t.push_back({"carillon",
                 {{hum, 0.20, 6.0, 0.120, 1.0, 0.4, 0.003},
                  {prime, 1.00, 4.0, 0.0015, 1.8, 0.12, 0.0},
                  {tierce, 0.36, 3.2, 0.0015, 2.5, 0.3, 0.002},
                  {quint, 0.06, 1.6, 0.0015, 0.0, 0.0, 0.004},
                  {nominal, 1.00, 2.6, 0.001, 3.2, 0.2, 0.0005},
                  {deciem, 0.16, 1.5, 0.001, 0.0, 0.0, 0.005},
                  {undeciem, 0.04, 1.2, 0.001, 0.0, 0.0, 0.006},
                  {twelfth, 0.30, 1.1, 0.001, 4.0, 0.3, 0.003},
                  {upperOctave, 0.20, 0.8, 0.001, 0.0, 0.0, 0.004},
                  {upperDeciem, 0.10, 0.5, 0.001, 0.0, 0.0, 0.008}},
                 0.7,
                 0.30,
                 4500.0,
                 0.12});
    t.push_back({"bourdon",
                 {{hum, 0.25, 12.0, 0.150, 0.45, 0.5, 0.002},
                  {prime, 1.00, 8.0, 0.003, 1.0, 0.12, 0.0},
                  {tierce, 0.34, 6.0, 0.002, 1.6, 0.35, 0.002},
                  {quint, 0.07, 3.0, 0.002, 0.0, 0.0, 0.004},
                  {nominal, 1.00, 4.5, 0.002, 2.1, 0.2, 0.0005},
                  {deciem, 0.16, 2.5, 0.001, 0.0, 0.0, 0.005},
                  {undeciem, 0.05, 2.0, 0.001, 0.0, 0.0, 0.006},
                  {twelfth, 0.28, 1.8, 0.001, 2.9, 0.3, 0.003},
                  {upperOctave, 0.18, 1.2, 0.001, 0.0, 0.0, 0.004},
                  {upperDeciem, 0.09, 0.8, 0.001, 0.0, 0.0, 0.008}},
                 0.9,
                 0.30,
                 3000.0,
                 0.11});
    return t;
}

// Change-ringing rows name bells by place, 1 being the treble.
std::vector<std::string> row(std::string_view places, const std::vector<std::string>& bells)
{
    std::vector<std::string> notes;
    for (char place : places)
        notes.push_back(bells.at(static_cast<std::size_t>(place - '1')));
    return notes;
}

std::vector<ChimeSetScore> makeScores()
{
    std::vector<ChimeSetScore> s;

    s.push_back({"Chimes",
                 "clock",
                 {{"G#4", "F#4", "E4", "B3"},
                  {"E4", "G#4", "F#4", "B3"},
                  {"E4", "F#4", "G#4", "E4"},
                  {"G#4", "E4", "F#4", "B3"},
                  {"B3", "F#4", "G#4", "E4"}},
                 {{0, "chime00.flac", {1, 2, 3, 4}},
                  {15, "chime15.flac", {0}},
                  {30, "chime30.flac", {1, 2}},
                  {45, "chime45.flac", {3, 4, 0}}},
                 0.75,
                 0.75,
                 3.5,
                 0.8,
                 "E3",
                 "hour",
                 "strike.flac",
                 2.25,
                 0.6});

    const std::vector<std::string> eight = {"D5", "C#5", "B4", "A4", "G4", "F#4", "E4", "D4"};
    s.push_back(
        {"Cathedral",
         "ring",
         {row("12345678", eight), row("13572468", eight), row("15263748", eight), row("75312468", eight)},
         {{0, "chime00.flac", {1, 2, 3, 0}},
          {15, "chime15.flac", {0}},
          {30, "chime30.flac", {0, 1}},
          {45, "chime45.flac", {0, 1, 2}}},
         0.36,
         0.36,
         3.5,
         0.8,
         "D3",
         "tenor",
         "strike.flac",
         2.5,
         0.7});

    s.push_back({"Carillon",
                 "carillon",
                 {{"G5", "D5", "E5", "B4", "C5", "D5", "G4"},
                  {"B4", "C5", "D5", "E5", "D5", "B4", "D5"},
                  {"E5", "F#5", "G5", "D5", "E5", "C5", "B4"},
                  {"A4", "B4", "C5", "D5", "B4", "A4", "G4"}},
                 {{0, "chime00.flac", {0, 1, 2, 3}},
                  {15, "chime15.flac", {0}},
                  {30, "chime30.flac", {0, 1}},
                  {45, "chime45.flac", {0, 1, 2}}},
                 0.42,
                 0.42,
                 3.0,
                 0.8,
                 "G3",
                 "bourdon",
                 "strike.flac",
                 2.0,
                 0.5});
    return s;
}

double longestRing(const BellTimbre& timbre, double strikeHz)
{
    double longest = 0.0;
    for (const Tone& tone : bellTones(strikeHz, timbre, 0))
        longest = std::max(longest, tone.t60);
    return longest;
}

} // namespace

const std::vector<BellTimbre>& bellTimbres()
{
    static const std::vector<BellTimbre> timbres = makeTimbres();
    return timbres;
}

const BellTimbre* timbreNamed(std::string_view name)
{
    for (const BellTimbre& t : bellTimbres())
        if (t.name == name)
            return &t;
    return nullptr;
}

const std::vector<ChimeSetScore>& chimeSetScores()
{
    static const std::vector<ChimeSetScore> scores = makeScores();
    return scores;
}

const ChimeSetScore* scoreNamed(std::string_view name)
{
    for (const ChimeSetScore& s : chimeSetScores())
        if (s.name == name)
            return &s;
    return nullptr;
}

std::uint32_t bellSeed(std::string_view timbre, std::string_view note)
{
    std::uint32_t h = 2166136261u; // FNV-1a
    for (std::string_view part : {timbre, std::string_view("/"), note})
        for (unsigned char c : part)
            h = (h ^ c) * 16777619u;
    return h;
}

Samples renderNote(std::string_view note, const BellTimbre& timbre, double seconds, double fade)
{
    const auto hz = noteFrequency(note);
    if (!hz)
        return {};
    Samples out = renderBell(*hz, timbre, seconds, bellSeed(timbre.name, note));
    normalise(out);
    fadeOut(out, fade);
    return out;
}

std::vector<Stroke> quarterStrokes(const ChimeSetScore& set, const QuarterScore& quarter,
                                   std::vector<std::string>& bells)
{
    std::vector<Stroke> strokes;
    bells.clear();
    // A short lead-in, so the first blow is not cut by a player that starts late.
    double time = 0.02;
    std::uint32_t n = 0;
    for (int index : quarter.changes) {
        if (index < 0 || static_cast<std::size_t>(index) >= set.changes.size())
            continue;
        for (const std::string& note : set.changes[static_cast<std::size_t>(index)]) {
            auto found = std::find(bells.begin(), bells.end(), note);
            if (found == bells.end())
                found = bells.insert(bells.end(), note);
            // Hammers never strike quite alike; the variation is fixed so the build is reproducible.
            const double gain =
                0.88 + 0.12 * static_cast<double>((bellSeed(set.name, note) + 7919u * ++n) % 101u) / 100.0;
            strokes.push_back({time, static_cast<int>(found - bells.begin()), gain});
            time += set.noteInterval;
        }
        time += set.changeRest;
    }
    return strokes;
}

Samples renderQuarter(const ChimeSetScore& set, const QuarterScore& quarter)
{
    const BellTimbre* timbre = timbreNamed(set.timbre);
    if (!timbre)
        return {};
    std::vector<std::string> notes;
    const std::vector<Stroke> strokes = quarterStrokes(set, quarter, notes);
    if (strokes.empty())
        return {};
    const double length = strokes.back().time + set.ringOut;
    std::vector<Samples> bells;
    for (const std::string& note : notes) {
        const auto hz = noteFrequency(note);
        if (!hz)
            return {};
        const double ring = std::min(length, longestRing(*timbre, *hz));
        bells.push_back(renderBell(*hz, *timbre, ring, bellSeed(timbre->name, note)));
    }
    Samples out = mix(bells, strokes, length);
    normalise(out);
    fadeOut(out, set.fade);
    return out;
}

Samples renderStrike(const ChimeSetScore& set)
{
    const BellTimbre* timbre = timbreNamed(set.strikeTimbre);
    if (!timbre)
        return {};
    return renderNote(set.strikeNote, *timbre, set.strikeLength, set.strikeFade);
}

bool writeSet(const ChimeSetScore& set, const std::string& dir, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = dir + ": " + ec.message();
        return false;
    }
    auto write = [&](const std::string& file, const Samples& samples) {
        const std::string path = dir + "/" + file;
        if (samples.empty()) {
            error = path + ": nothing to render";
            return false;
        }
        if (!writeFlac(path, samples)) {
            error = path + ": cannot write";
            return false;
        }
        return true;
    };
    for (const QuarterScore& quarter : set.quarters)
        if (!write(quarter.file, renderQuarter(set, quarter)))
            return false;
    return write(set.strikeFile, renderStrike(set));
}

} // namespace bellsynth
