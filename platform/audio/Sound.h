// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A sound opened from a file and played through the desktop's audio server (GStreamer).
//
// Files are read and decoded off the main thread; open() waits for that a fraction of a second at most,
// so a quick file is ready (or refused) when it returns and a slow or hanging one loads on in the
// background: until loaded() it has no audio and play() does nothing. Identical files opened several
// times share their decoded samples.
// play() starts from the beginning, also after an earlier end; stop() never produces an end event.
// Every sound that plays to its end emits didEnd() once, on the main thread, and
// Sound::endNotifier() re-emits it for observers that listen to any sound.
// A sound started from the end signal of the previous one follows it without a gap.
// Test seam: PEALIX_AUDIO_SINK, a gst-launch sink description (default: the desktop's audio server),
// for example "fakesink sync=true" or "wavenc ! filesink location=out.wav"; read each time the output opens.
// A sink that does not sync to the clock is paced in real time. A sink that fails to start is replaced
// by "fakesink sync=true" (one log line), so ends still arrive after each sound's duration.
// PEALIX_AUDIO_LINGER_MS (default 1500): how long the idle output stays open after the last sound.
// PEALIX_SOUND_MAX_DECODED_BYTES: lowers the 512 kB of samples a sound keeps; longer files stream.

#include "platform/Export.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace platform {

class PEALIX_EXPORT Sound : public QObject {
    Q_OBJECT
public:
    // nullptr when the file is missing, unreadable or holds no audio, as far as that was found out
    // within the wait; a sound still loading after it reports through loaded(). Main thread.
    static std::shared_ptr<Sound> open(const QString& path);
    ~Sound() override;

    enum class State { Loading, Loaded, Failed };
    State state() const;
    // Blocks up to timeoutMs for the load to finish; for tools and tests, not for the main loop.
    bool waitUntilLoaded(int timeoutMs = 15000);

    // True once loaded with at least one sample.
    bool hasAudio() const;
    QString path() const;
    // Length in seconds.
    double duration() const;

    void play();
    void stop();
    bool isPlaying() const;
    // 0.0 silent to 1.0 full; applies to a playing sound within 100 ms. Values outside are clamped.
    void setVolume(float volume);
    float volume() const;

    // File extensions (without dot, lower case) that a decoder exists for: wav wave (wavparse),
    // aiff aif aifc, au snd, flac, mp3, ogg oga (Vorbis, Opus, FLAC or Speex), opus, spx,
    // m4a mp4 mov (AAC, ALAC), aac, mka webm, wv, caf, w64 — each listed only when the registry has a
    // demuxer or parser for the container and a decoder for one of its codecs.
    static QStringList movieFileTypes();

    // Opens the output stream now, so that a play() within the linger time starts without the set-up
    // delay and a suspended device is awake (call it a second or two before a scheduled sound); closes
    // again if nothing plays. `title` names what will play in the sound server's mixer.
    static void prepareOutput(const QString& title = QString());
    // True while the output stream is open; it closes after the linger once nothing plays.
    static bool isOutputOpen();

    // Re-emits the end of every sound, for observers of any sound.
    static class SoundEndNotifier* endNotifier();

signals:
    void didEnd();
    // Once, when a load that open() did not wait out has finished.
    void loaded(bool ok);

private:
    Sound();
    struct Impl;
    std::unique_ptr<Impl> d;
    friend struct SoundPrivateAccess;
};

class PEALIX_EXPORT SoundEndNotifier : public QObject {
    Q_OBJECT
signals:
    void soundDidEnd(platform::Sound* sound);
};

} // namespace platform
