#pragma once
// The one GStreamer output stream that every Sound plays through, opened on demand and closed when idle.

#include "platform/GstAudioDecoder.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstAppSrc GstAppSrc;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;
class QTimer;

namespace platform {

class Sound;

// Samples are mixed at the moment the stream asks for them (5 ms at a time), so play, stop and volume
// reach the sink within one or two buffers. A sound's end is announced kEndLookahead ahead of its last
// sample; a sound started from that announcement is placed right after it, without a gap.
class GstSoundOutput : public QObject {
    Q_OBJECT
public:
    // Main thread only.
    static GstSoundOutput* instance();
    static GstSoundOutput* existingInstance();

    void play(Sound* owner, uint64_t serial, std::shared_ptr<DecodedAudio> audio,
              std::shared_ptr<std::atomic<float>> volume);
    void stop(Sound* owner);
    void prepare();
    bool isOpen() const { return m_pipeline != nullptr; }
    // Called after a sound's end was delivered: closes the stream after the linger if nothing plays.
    void scheduleIdleClose();

    // Called from the stream's thread.
    void render();

private:
    GstSoundOutput();
    struct Voice;
    bool open();
    void openPipeline(bool forceFakeSink);
    void close(bool drain);
    bool busy();
    static int onBusMessage(GstBus*, GstMessage*, void* self);

    mutable std::mutex m_mutex;
    std::shared_ptr<Voice> m_current; // playing, end not announced yet
    std::shared_ptr<Voice> m_tail;    // end announced, last samples still to render
    int64_t m_pos = 0;                // next frame to render, continuous across re-opens
    int64_t m_streamBase = 0;         // m_pos when the stream opened (its timestamp zero)

    GstElement* m_pipeline = nullptr;
    GstAppSrc* m_src = nullptr;
    unsigned m_busWatch = 0;
    QTimer* m_linger = nullptr;
};

} // namespace platform
