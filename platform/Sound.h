#pragma once
// A sound opened from a file and played through the desktop's audio server (GStreamer).
//
// Decoding happens in open(); identical files opened several times share their decoded samples.
// play() starts from the beginning, also after an earlier end; stop() never produces an end event.
// Every sound that plays to its end emits didEnd() once, on the main thread, and
// Sound::endNotifier() re-emits it for observers that listen to any sound.
// A sound started from the end signal of the previous one follows it without a gap.
// Test seam: PEALIX_AUDIO_SINK, a gst-launch sink description (default: the desktop's audio server),
// for example "fakesink sync=true" or "wavenc ! filesink location=out.wav".

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace platform {

class Sound : public QObject {
    Q_OBJECT
public:
    // nullptr when the file is missing, unreadable or holds no audio.
    static std::shared_ptr<Sound> open(const QString& path);
    ~Sound() override;

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

    // File extensions (without dot, lower case) that a decoder exists for.
    static QStringList movieFileTypes();

    // Re-emits the end of every sound, for observers of any sound.
    static class SoundEndNotifier* endNotifier();

signals:
    void didEnd();

private:
    Sound();
    struct Impl;
    std::unique_ptr<Impl> d;
    friend struct SoundPrivateAccess;
};

class SoundEndNotifier : public QObject {
    Q_OBJECT
signals:
    void soundDidEnd(platform::Sound* sound);
};

} // namespace platform
