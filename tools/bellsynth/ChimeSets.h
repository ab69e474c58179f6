// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The shipped chime sets as scores: which bells ring which changes at each quarter, and the hour bell.

#include "BellSynth.h"

#include <string>
#include <string_view>
#include <vector>

namespace bellsynth {

struct QuarterScore {
    int minute;
    std::string file;
    std::vector<int> changes; // indexes into ChimeSetScore::changes
};

struct ChimeSetScore {
    std::string name;
    std::string timbre;
    std::vector<std::vector<std::string>> changes; // note names, struck in order
    std::vector<QuarterScore> quarters;
    double noteInterval; // seconds between strokes within a change
    double changeRest;   // extra seconds after the last stroke of a change
    double ringOut;      // seconds the last stroke rings before the end
    double fade;         // seconds of fade at the end of the ring-out
    std::string strikeNote;
    std::string strikeTimbre;
    std::string strikeFile;
    double strikeLength; // the strike interval: the agent plays strikes back to back
    double strikeFade;
};

const std::vector<BellTimbre>& bellTimbres();
const BellTimbre* timbreNamed(std::string_view name);

const std::vector<ChimeSetScore>& chimeSetScores();
const ChimeSetScore* scoreNamed(std::string_view name);

// The seed of a bell depends on its timbre and note only, so a single-note render is the bell of the set.
std::uint32_t bellSeed(std::string_view timbre, std::string_view note);

// A single stroke of one bell, normalised, `seconds` long with a short fade. Empty for an unknown note.
Samples renderNote(std::string_view note, const BellTimbre& timbre, double seconds, double fade);

// The strokes of a quarter's melody with their times; `bells` receives the distinct notes in order.
std::vector<Stroke> quarterStrokes(const ChimeSetScore& set, const QuarterScore& quarter,
                                   std::vector<std::string>& bells);

// The finished melody recording of one quarter, and the finished strike recording.
Samples renderQuarter(const ChimeSetScore& set, const QuarterScore& quarter);
Samples renderStrike(const ChimeSetScore& set);

// Writes every sound file of the set into dir (created if needed). False on any failure.
bool writeSet(const ChimeSetScore& set, const std::string& dir, std::string& error);

} // namespace bellsynth
