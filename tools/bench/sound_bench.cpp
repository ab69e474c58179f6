// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures onset, back-to-back gap and stop latency of the sound output against a recording sink.
// A pass-through element after the output's real-time pacing stamps when audio reaches the sink.

#include "SoundingProbe.h"
#include "platform/audio/Sound.h"
#include "testsupport/RecordingSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <gst/gst.h>
#include <vector>

namespace {

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void printStats(const char* what, const std::vector<double>& v)
{
    if (v.empty()) {
        std::printf("%-34s no samples\n", what);
        return;
    }
    std::printf("%-34s median %6.2f ms  min %6.2f  max %6.2f  (n=%zu)\n", what, median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), v.size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    bench::registerSoundingProbe();
    const int rounds = 10;

    QTemporaryDir dir;
    const QString toneA = dir.path() + "/a.wav", toneB = dir.path() + "/b.flac",
                  longTone = dir.path() + "/l.wav";
    writeTone(toneA, 440, 0.3, 0.5);
    writeTone(toneB, 660, 0.2, 0.5);
    writeTone(longTone, 550, 1.0, 0.5);
    auto a = platform::Sound::open(toneA);
    auto b = platform::Sound::open(toneB);
    auto l = platform::Sound::open(longTone);
    if (!a || !b || !l) {
        std::fprintf(stderr, "could not open test tones\n");
        return 1;
    }
    std::vector<double> coldOnset, warmOnset, stopLatency, gaps;
    {
        RecordingSink rec(200);
        const QByteArray sink =
            "audioconvert ! audio/x-raw,format=S16LE ! benchprobe ! wavenc ! filesink location=\"" +
            rec.path().toUtf8() + "\"";
        qputenv("PEALIX_AUDIO_SINK", sink);
        for (int i = 0; i < rounds; ++i) {
            rec.waitUntilWritten();
            bench::firstSound = 0;
            const int64_t t0 = bench::wallNs();
            a->play();
            if (bench::spinUntil([] { return bench::firstSound != 0; }, 2000))
                coldOnset.push_back((bench::firstSound - t0) / 1e6);
            a->stop();
        }
        rec.waitUntilWritten();
        // A stop that leaves nothing sounding closes the output, so each warm round lets the sound end and
        // starts the next within the linger, on the stream prepared before.
        platform::Sound::prepareOutput();
        for (int i = 0; i < rounds * 2; ++i) {
            spin(100);
            bench::firstSound = 0;
            const int64_t t0 = bench::wallNs();
            a->play();
            if (bench::spinUntil([] { return bench::firstSound != 0; }, 2000))
                warmOnset.push_back((bench::firstSound - t0) / 1e6);
            bench::spinUntil([&] { return !a->isPlaying(); }, 2000);
        }
        for (int i = 0; i < rounds; ++i) {
            l->play();
            spin(300);
            const int64_t t0 = bench::wallNs();
            l->stop();
            spin(150);
            stopLatency.push_back(std::max<int64_t>(0, bench::lastSound - t0) / 1e6);
        }
        rec.waitUntilWritten();
    }
    {
        // Pairs a then b started from a's end, 300 ms apart; the recording shows what reached the sink.
        RecordingSink rec(300);
        int ended = 0;
        QObject::connect(a.get(), &platform::Sound::didEnd, [&] { b->play(); });
        QObject::connect(b.get(), &platform::Sound::didEnd, [&] { ++ended; });
        for (int i = 0; i < rounds; ++i) {
            const int want = ended + 1;
            a->play();
            bench::spinUntil([&] { return ended >= want; }, 3000);
            // b's end is announced ahead of its last sample; the pause between pairs stays well apart
            // from a gap inside one.
            spin(250);
        }
        rec.waitUntilWritten();
        const std::vector<float> s = rec.samples();
        const auto regions = RecordingSink::soundingRegions(s, rec.sampleRate(), 0.01f, 0.5);
        int pairs = 0;
        for (size_t i = 0; i + 1 < regions.size(); ++i) {
            const double gap = regions[i + 1].startMs - regions[i].endMs;
            if (gap < 50)
                gaps.push_back(gap);
        }
        for (const auto& r : regions)
            if (r.lengthMs() > 490 && r.lengthMs() < 510)
                ++pairs;
        std::printf("back-to-back pairs recorded seamless (500 ms region): %d of %d\n", pairs, rounds);
        printStats("gaps inside pairs (> 0.5 ms only)", gaps);
    }
    printStats("onset, output closed", coldOnset);
    printStats("onset, output open", warmOnset);
    printStats("stop latency (last sounding buffer)", stopLatency);
    return 0;
}
