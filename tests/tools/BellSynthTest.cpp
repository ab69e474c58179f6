// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ChimeSets.h"

#include <testsupport/TestEnvironment.h>

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <sndfile.h>

using namespace bellsynth;

namespace {

// Level of one frequency in a stretch of samples (Goertzel with a Hann window).
double levelAt(const Samples& s, double hz, double from, double seconds)
{
    const auto a = static_cast<std::size_t>(from * sampleRate);
    const auto n = static_cast<std::size_t>(seconds * sampleRate);
    const double w = 2.0 * std::numbers::pi * hz / sampleRate, coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = 0; i < n && a + i < s.size(); ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / (n - 1));
        const double s0 = s[a + i] * hann + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - coeff * s1 * s2));
}

float peakOf(const Samples& s)
{
    float peak = 0;
    for (float v : s)
        peak = std::max(peak, std::abs(v));
    return peak;
}

const Tone* strongestNear(const std::vector<Tone>& tones, double hz)
{
    const Tone* best = nullptr;
    for (const Tone& t : tones)
        if (std::abs(t.frequency / hz - 1.0) < 0.01 && (!best || t.amplitude > best->amplitude))
            best = &t;
    return best;
}

} // namespace

TEST(BellSynth, note_names_follow_equal_temperament_and_reject_garbage)
{
    EXPECT_DOUBLE_EQ(*noteFrequency("A4"), 440.0);
    EXPECT_NEAR(*noteFrequency("E3"), 164.814, 0.001);
    EXPECT_NEAR(*noteFrequency("G#4"), 415.305, 0.001);
    EXPECT_NEAR(*noteFrequency("Bb3"), *noteFrequency("A#3"), 1e-9);
    EXPECT_NEAR(*noteFrequency("C5") / *noteFrequency("C4"), 2.0, 1e-12);
    for (const char* bad : {"", "A", "H4", "G#", "E10", "C##4", "a4", "B3x", "#4"})
        EXPECT_FALSE(noteFrequency(bad)) << bad;
}

TEST(BellSynth, every_timbre_has_the_partials_of_a_tuned_bell)
{
    const double e4 = *noteFrequency("E4");
    for (const BellTimbre& timbre : bellTimbres()) {
        SCOPED_TRACE(timbre.name);
        const auto tones = bellTones(e4, timbre, 1);
        const Tone* hum = strongestNear(tones, e4 / 2);
        const Tone* prime = strongestNear(tones, e4);
        const Tone* tierce = strongestNear(tones, e4 * std::pow(2.0, 3.0 / 12));
        const Tone* quint = strongestNear(tones, e4 * 1.5);
        const Tone* nominal = strongestNear(tones, e4 * 2);
        const Tone* upper = strongestNear(tones, e4 * 4);
        ASSERT_TRUE(hum && prime && tierce && quint && nominal && upper);
        EXPECT_DOUBLE_EQ(prime->frequency, e4);
        EXPECT_NEAR(nominal->frequency / e4, 2.0, 0.002);
        // Prime and nominal carry the strike pitch; the hum rings longest, the high partials die first.
        EXPECT_GE(std::min(prime->amplitude, nominal->amplitude), 0.9);
        EXPECT_LT(std::max({hum->amplitude, tierce->amplitude, quint->amplitude}), 0.5);
        EXPECT_GT(hum->t60, prime->t60);
        EXPECT_GT(prime->t60, nominal->t60);
        EXPECT_GT(nominal->t60, upper->t60);
        // Beating pairs: a second mode a few hertz away.
        EXPECT_GT(std::count_if(tones.begin(), tones.end(),
                                [&](const Tone& t) { return t.frequency >= e4 && t.frequency < e4 + 5; }),
                  1);
    }
}

TEST(BellSynth, same_seed_same_samples_other_seed_other_samples)
{
    const BellTimbre& timbre = *timbreNamed("clock");
    const Samples a = renderBell(330.0, timbre, 0.5, 42);
    EXPECT_EQ(a, renderBell(330.0, timbre, 0.5, 42));
    EXPECT_NE(a, renderBell(330.0, timbre, 0.5, 43));
    EXPECT_EQ(renderNote("E4", timbre, 0.5, 0.1), renderNote("E4", timbre, 0.5, 0.1));
}

TEST(BellSynth, rendered_note_sounds_at_its_partials_and_not_between)
{
    const double g4 = *noteFrequency("G#4");
    const Samples s = renderNote("G#4", *timbreNamed("clock"), 2.0, 0.2);
    ASSERT_FALSE(s.empty());
    const double prime = levelAt(s, g4, 0.05, 0.5);
    EXPECT_GT(prime, 3 * levelAt(s, g4 / 2, 0.05, 0.5));
    EXPECT_GT(prime, 20 * levelAt(s, g4 * 1.35, 0.05, 0.5));
    EXPECT_GT(levelAt(s, g4 * 2, 0.05, 0.5), 0.5 * prime);
    // The hum outlasts the nominal.
    EXPECT_GT(levelAt(s, g4 / 2, 1.4, 0.5) / levelAt(s, g4 / 2, 0.05, 0.5),
              levelAt(s, g4 * 2, 1.4, 0.5) / levelAt(s, g4 * 2, 0.05, 0.5));
    EXPECT_FALSE(renderNote("X9", *timbreNamed("clock"), 1.0, 0.1).size());
}

TEST(BellSynth, westminster_quarter_strikes_its_changes_in_order_with_rests)
{
    const ChimeSetScore& chimes = *scoreNamed("Chimes");
    const auto q45 = std::find_if(chimes.quarters.begin(), chimes.quarters.end(),
                                  [](const QuarterScore& q) { return q.minute == 45; });
    ASSERT_NE(q45, chimes.quarters.end());
    std::vector<std::string> bells;
    const auto strokes = quarterStrokes(chimes, *q45, bells);
    ASSERT_EQ(strokes.size(), 12u);
    std::string played;
    for (const Stroke& s : strokes)
        played += bells[static_cast<std::size_t>(s.bell)] + " ";
    EXPECT_EQ(played, "G#4 E4 F#4 B3 B3 F#4 G#4 E4 G#4 F#4 E4 B3 ");
    EXPECT_NEAR(strokes[1].time - strokes[0].time, chimes.noteInterval, 1e-9);
    EXPECT_NEAR(strokes[4].time - strokes[3].time, chimes.noteInterval + chimes.changeRest, 1e-9);
}

TEST(BellSynth, finished_recordings_peak_at_minus_one_dbfs_and_fade_out)
{
    const float target = static_cast<float>(std::pow(10.0, -1.0 / 20.0));
    for (const ChimeSetScore& set : chimeSetScores()) {
        SCOPED_TRACE(set.name);
        const Samples strike = renderStrike(set);
        EXPECT_NEAR(strike.size(), set.strikeLength * sampleRate, 1.0);
        EXPECT_NEAR(peakOf(strike), target, 1e-4);
        EXPECT_EQ(strike.back(), 0.0f);
        const Samples quarter = renderQuarter(set, set.quarters.front());
        EXPECT_NEAR(peakOf(quarter), target, 1e-4);
        EXPECT_EQ(quarter.back(), 0.0f);
    }
    Samples silent(100, 0.0f);
    normalise(silent);
    EXPECT_EQ(peakOf(silent), 0.0f);
}

TEST(BellSynth, mix_places_strokes_and_skips_unknown_bells)
{
    const std::vector<Samples> bells = {{1.0f, 0.5f}};
    const Samples out = mix(bells, {{0.0, 0, 1.0}, {1.0 / sampleRate, 0, 0.5}, {0.0, 3, 1.0}, {0.0, -1, 1.0}},
                            3.0 / sampleRate);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
    EXPECT_FLOAT_EQ(out[2], 0.25f);
}

TEST(BellSynth, flac_round_trip_keeps_samples_and_bad_path_fails)
{
    TestEnvironment env;
    const std::string path = env.root().toStdString() + "/note.flac";
    const Samples s = renderNote("B3", *timbreNamed("clock"), 0.3, 0.05);
    ASSERT_TRUE(writeFlac(path, s));
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_TRUE(file);
    EXPECT_EQ(info.samplerate, sampleRate);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ((info.format & SF_FORMAT_TYPEMASK), SF_FORMAT_FLAC);
    std::vector<short> back(s.size() + 10);
    const sf_count_t n = sf_read_short(file, back.data(), static_cast<sf_count_t>(back.size()));
    sf_close(file);
    ASSERT_EQ(n, static_cast<sf_count_t>(s.size()));
    for (std::size_t i = 0; i < s.size(); i += 97)
        EXPECT_NEAR(back[i] / 32767.0, s[i], 1.0 / 32767.0);
    EXPECT_FALSE(writeFlac(env.root().toStdString() + "/missing/dir/x.flac", s));
}
