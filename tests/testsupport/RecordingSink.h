// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Records what the sound output plays into a WAV file, and reads it back for checks on timing and level.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <vector>

class RecordingSink {
public:
    // Points PEALIX_AUDIO_SINK at a file in a temporary directory (and shortens the idle linger) until
    // destroyed. Waits first for an output opened with another sink to close.
    explicit RecordingSink(int lingerMs = 400);
    ~RecordingSink();
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    QString path() const { return m_dir.path() + QStringLiteral("/out.wav"); }
    // Runs the event loop until the output stream has closed, so the file is complete.
    bool waitUntilWritten(int timeoutMs = 5000) const;
    // The first channel of the recording, and its rate; empty when nothing was written.
    std::vector<float> samples() const;
    int sampleRate() const { return m_rate; }

    struct Region {
        double startMs;
        double endMs;
        double lengthMs() const { return endMs - startMs; }
    };
    // Stretches where |sample| exceeds threshold; dips shorter than mergeMs (zero crossings) are bridged.
    static std::vector<Region> soundingRegions(const std::vector<float>& samples, int rate,
                                               float threshold = 0.01f, double mergeMs = 0.5);
    static double rms(const std::vector<float>& samples, int rate, double fromMs, double toMs);

private:
    QTemporaryDir m_dir;
    QByteArray m_savedSink, m_savedLinger;
    bool m_hadSink = false, m_hadLinger = false;
    mutable int m_rate = 0;
};

// Writes a sine tone; the format follows the extension (.wav or .flac). False on failure.
bool writeTone(const QString& path, double frequency, double seconds, double amplitude = 0.5,
               int rate = 48000, int channels = 2);
// A mono 16-bit 48 kHz WAV: toneMs of a sine, then silenceMs of silence, so the length is exact.
bool writeShape(const QString& path, double hz, double toneMs, double silenceMs, double amplitude = 0.5);
