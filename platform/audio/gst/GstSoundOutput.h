// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The one GStreamer output stream that every Sound plays through, opened on demand and closed when idle.

#include "platform/Export.h"

#include "platform/audio/gst/GstAudioDecoder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class QTimer;

namespace platform {

class Sound;

// Samples are mixed when the stream asks for them, a chunk at a time, so play and volume reach the sink
// within a few chunks; a stop that leaves nothing sounding flushes what is queued. A sound's end is
// announced shortly before its last sample; a sound started from that announcement is placed right
// after it, without a gap. A sound server's stream takes larger chunks and the volume on the server
// (immediate there); its mix waits at the end of a sound until the server has nearly played it, so the
// end is announced by what was heard, not by what was sent.
//
// Each stream is opened, drained and closed on a thread of its own, so a sink that blocks (a hung sound
// server, a file nobody reads) never holds up the main thread: when the mix stops advancing, the stream
// is abandoned and a silent clock-paced one takes over, so ends still arrive; the next opening tries the
// real sink again once the abandoned one has come back.
class PEALIX_INTERNAL GstSoundOutput : public QObject {
    Q_OBJECT
public:
    // Main thread only.
    static GstSoundOutput* instance();
    static GstSoundOutput* existingInstance();

    // `title` names what plays in the sound server's mixer.
    void play(Sound* owner, uint64_t serial, std::shared_ptr<DecodedAudio> audio,
              std::shared_ptr<std::atomic<float>> volume, const QString& title);
    void stop(Sound* owner);
    // A sound's volume changed: a stream that takes the volume on the server gets it now.
    void volumeChanged();
    // The owner is going away: a sound whose end was announced plays out, one still playing is cut.
    void release(Sound* owner);
    void prepare(const QString& title);
    bool isOpen() const { return m_active != nullptr || m_closing > 0; }
    // Called after a sound's end was delivered: closes the stream after the linger if nothing plays.
    void scheduleIdleClose();

    struct Stream;
    // Called from a stream's thread.
    void render(Stream* stream);
    void streamStarted(const std::shared_ptr<Stream>& stream);
    void streamFailed(const std::shared_ptr<Stream>& stream, const QString& why);
    void streamFinished(const std::shared_ptr<Stream>& stream);
    // On a stream's thread: flushes what the sink holds so that a sound starting now is heard next.
    void dropQueuedSilence(Stream* stream);
    // On a stream's thread, while its mix waits at the end of a sound: announces the end and lets
    // silence follow as the server plays out what it holds. Returns when to look again (ns, or never).
    uint64_t tendHold(Stream* stream);
    void updateStreamVolume(Stream* stream);
    void applyStreamVolume(Stream* stream);

private:
    GstSoundOutput();
    struct Voice;
    enum class Close { Drain, Flush, Abandon };
    void open();
    void openStream(bool silent);
    void closeStream(Close how);
    void checkProgress();
    void logOutage(const QString& message);
    int wantedChannels() const;
    bool busy() const;
    Voice* heldVoiceLocked() const;
    void retireTailLocked(std::vector<std::shared_ptr<Voice>>& released);
    float streamVolumeLocked(Stream* stream, int64_t played);
    static int64_t playedFrames(Stream* stream);

    mutable std::mutex m_mutex;
    std::shared_ptr<Voice> m_current; // playing, end not announced yet
    std::shared_ptr<Voice> m_tail;    // end announced, last samples still to render
    int64_t m_pos = 0;                // next frame to mix, continuous across streams
    // Sounds that left the mix but may still be in a deep stream's buffer, at their volume.
    struct Recent {
        std::shared_ptr<std::atomic<float>> volume;
        int64_t end = 0;
    };
    std::vector<Recent> m_recent;
    Stream* m_mixing = nullptr; // the stream whose renders consume the mix

    std::shared_ptr<Stream> m_active; // main thread from here on
    int m_closing = 0;                // streams closing in order, not counting abandoned ones
    int m_stuck = 0;                  // abandoned streams whose thread has not come back
    bool m_outage = false;            // the one log line of the current outage was written
    QString m_title;
    QTimer* m_linger = nullptr;
    QTimer* m_watchdog = nullptr;
    int64_t m_lastPos = -1;
    QElapsedTimer m_sinceProgress;
};

} // namespace platform
