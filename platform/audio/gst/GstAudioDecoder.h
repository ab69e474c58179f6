// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Decodes sound files with GStreamer to the PCM the sound output mixes: 16-bit, 48 kHz, in the file's own
// channel count (mono or stereo; more channels are mixed down to stereo).

#include "platform/Export.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

typedef struct _GstElement GstElement;

namespace platform {

constexpr int kOutputRate = 48000;
constexpr int kMaxChannels = 2;

// Safe to call from any thread, any number of times.
PEALIX_INTERNAL void ensureGstInit();

// What open() keeps of a file: all of it, or only its first second when the file streams at play time.
struct PEALIX_INTERNAL DecodedAudio {
    QString path;
    int channels = 1;             // 1 or 2
    std::vector<int16_t> samples; // interleaved
    int64_t frames = 0;           // length of the whole sound
    bool streamed = false;        // samples hold only a prefix; the rest is decoded at play time
    int64_t memoryFrames() const { return static_cast<int64_t>(samples.size()) / channels; }
    size_t bytes() const { return samples.capacity() * sizeof(int16_t); }
};

// Decodes synchronously; nullptr on missing, unreadable, non-audio or broken files, or after the time-out.
// More than maxBytes of samples makes the result a streamed one.
PEALIX_INTERNAL std::shared_ptr<DecodedAudio> decodeAudioFile(const QString& path, size_t maxBytes,
                                                              int timeoutMs);

// A decoder running at play time for a streamed sound, read sequentially from the output's thread.
class PEALIX_INTERNAL AudioStreamReader {
public:
    AudioStreamReader(const QString& path, int channels);
    ~AudioStreamReader();
    AudioStreamReader(const AudioStreamReader&) = delete;
    AudioStreamReader& operator=(const AudioStreamReader&) = delete;

    // Fills n frames starting at frame position pos (positions only grow); frames not decoded yet are
    // left silent and skipped, so the sound keeps its timeline. Never blocks.
    void read(int64_t pos, int16_t* out, int64_t n);
    // Drops what has been decoded before pos, so the decoder keeps running while the output plays the
    // part held in memory.
    void discardBefore(int64_t pos);
    // The length of the sound as decoded, once the decoder has reached its end; -1 before. A file whose
    // header promised more ends here.
    int64_t decodedLength() const;

private:
    bool pullMore();
    GstElement* m_pipeline = nullptr;
    GstElement* m_sink = nullptr;
    int m_channels = 1;
    std::vector<int16_t> m_pending; // decoded frames not read yet, starting at m_pendingPos
    size_t m_pendingOffset = 0;
    int64_t m_pendingPos = 0;
    bool m_eos = false;
};

} // namespace platform
