// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/audio/gst/GstSoundOutput.h"

#include "platform/audio/Sound.h"
#include "platform/audio/gst/DecodedAudioCache.h"
#include "platform/core/ApplicationIdentity.h"
#include "platform/core/Log.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <gst/app/gstappsrc.h>
#include <gst/audio/gstaudiobasesink.h>
#include <gst/audio/streamvolume.h>
#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <thread>
#include <vector>

Q_LOGGING_CATEGORY(lcSoundOutput, "pealix.sound", QtWarningMsg)

namespace platform {

void soundReachedEnd(Sound* sound, uint64_t serial); // Sound.cpp

namespace {

// 20 ms chunks: every chunk costs a wake-up of the output's threads and a message to the sound server,
// and a stop flushes what is mixed ahead anyway.
constexpr int64_t kChunkFrames = kOutputRate / 50;
// A paced sink is not flushed when a sound starts on an idle stream, so the silence queued ahead of it
// delays the sound: shorter chunks there (file writers and tests, where wake-ups cost nothing that matters).
constexpr int64_t kPacedChunkFrames = kOutputRate / 100;
constexpr int64_t kEndLookahead = kOutputRate * 6 / 100; // end announced 60 ms ahead
constexpr int kDefaultLingerMs = 1500;
constexpr int kDrainTimeoutMs = 500;
constexpr int kPreparedHoldMs = 5000;
// The mix standing still this long while a stream should be consuming it means the sink hangs.
constexpr int kStallMs = 3000;
// Sink-side buffering where the volume is mixed in: a 60 ms ring plus the chunk being written keeps volume
// changes within 100 ms; topped up a chunk at a time, so each chunk is one request from the server (a
// segment of half the ring or more makes the server work hard).
// A stop, and a sound starting on an idle stream, flush what it holds.
constexpr gint64 kSinkBufferUs = 60000;
constexpr gint64 kSinkLatencyUs = 20000;
// A sink with a volume of its own (a sound server's stream) applies the volume at once, so it can take
// larger chunks less often, as a plain file player does. Its mix stops at the end of a sound until the
// server has nearly played it, so that the end is announced shortly before it is heard, and a sound
// started from the announcement still follows without a gap. The server's device buffer may have taken
// up to kDeepServerAhead beyond what is heard (the server gives it half of what the buffer holds beyond
// two segments, and a smaller buffer makes it work hard), so the end is announced kDeepEndLookahead
// beyond that, and the mix waits for what follows until only kDeepHoldFrames beyond it are left (the
// main thread's 60 ms).
constexpr int64_t kDeepChunkFrames = kOutputRate / 10;
constexpr gint64 kDeepBufferUs = 400000;
constexpr gint64 kDeepLatencyUs = 100000;
constexpr int64_t kDeepServerAhead = kOutputRate * (kDeepBufferUs - 2 * kDeepLatencyUs) / 2 / 1000000;
constexpr int64_t kDeepEndLookahead = kDeepServerAhead + kOutputRate * 7 / 100;
constexpr int64_t kDeepHoldFrames = kDeepServerAhead + kOutputRate / 100;
// The most a deep stream can hold ahead of what is heard: the server's buffer, the chunk the sink is
// writing and the one waiting in the source.
constexpr int64_t kDeepAheadFrames = kOutputRate * kDeepBufferUs / 1000000 + 2 * kDeepChunkFrames;

constexpr const char* kSilentSink = "fakesink sync=true";

int lingerMs()
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("PEALIX_AUDIO_LINGER_MS", &ok);
    return ok && v >= 0 ? v : kDefaultLingerMs;
}

// True when some sink in the bin paces the stream against the clock by itself.
bool binSyncs(GstElement* bin)
{
    if (!GST_IS_BIN(bin))
        return !GST_IS_BASE_SINK(bin) || gst_base_sink_get_sync(GST_BASE_SINK(bin));
    bool syncs = false;
    GstIterator* it = gst_bin_iterate_sinks(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        // Auto-detecting bins pick an audio device sink, and those sync.
        if (GST_IS_BIN(e) ? true : GST_IS_BASE_SINK(e) && gst_base_sink_get_sync(GST_BASE_SINK(e)))
            syncs = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return syncs;
}

bool hasProperty(GstElement* element, const char* name)
{
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

} // namespace

struct GstSoundOutput::Voice {
    Sound* owner = nullptr;
    uint64_t serial = 0;
    std::shared_ptr<DecodedAudio> audio;
    std::shared_ptr<AudioStreamReader> stream;
    std::shared_ptr<std::atomic<float>> volume;
    int64_t start = 0;
    int64_t frames = 0;   // the promised length, cut short when a stream ends early
    float gain = -1.0f;   // last applied, ramped towards *volume per chunk; none yet
    bool waiting = false; // starts once the stream has dropped the silence it holds
    bool holding = false; // end announced; a deep stream's mix waits at its end for what follows
    int64_t end() const { return start + frames; }
};

// One pipeline and the thread that opens, runs and closes it. The pipeline object is made on the main
// thread so that commands can be posted on its bus at any time; everything that may block runs on the
// stream's thread.
struct GstSoundOutput::Stream {
    GstSoundOutput* out = nullptr;
    QByteArray description;
    bool silent = false;
    bool paced = false; // clocksync in front of a sink that does not sync by itself
    int channels = 1;
    int64_t chunkFrames = kChunkFrames;
    QString title;
    GstElement* pipeline = nullptr;
    GstAppSrc* src = nullptr;
    GstBufferPool* pool = nullptr;
    // The sink that takes the volume (set on the stream's thread before it starts): the stream is deep.
    GstElement* volumeSink = nullptr;
    std::atomic<bool> deep{false};
    // Under the output's mutex: frames pushed since the last flush (the timestamps), and whether a flush
    // is under way. Buffers carry the epoch they were mixed in; older ones are dropped after a flush.
    int64_t pushed = 0;
    bool restarting = false;
    // Deep streams, under the output's mutex: the source waits for a buffer that render() held back at
    // the end of a sound, since parkedAt; and the volume the sink should have.
    bool parked = false;
    QElapsedTimer parkedAt;
    float wantedVolume = 1.0f;
    std::mutex volumeMutex; // orders setting the sink's volume; appliedVolume under it
    float appliedVolume = -1.0f;
    std::atomic<uint64_t> epoch{0};
    bool abandoned = false; // main thread
    bool closing = false;   // main thread
};

namespace {

void needData(GstAppSrc*, guint, gpointer data)
{
    auto* stream = static_cast<GstSoundOutput::Stream*>(data);
    stream->out->render(stream);
}

void onDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer data)
{
    auto* stream = static_cast<GstSoundOutput::Stream*>(data);
    if (GST_IS_AUDIO_BASE_SINK(element)) {
        const bool deep = GST_IS_STREAM_VOLUME(element) && !stream->volumeSink;
        if (deep)
            stream->volumeSink = GST_ELEMENT(gst_object_ref(element));
        g_object_set(element, "buffer-time", deep ? kDeepBufferUs : kSinkBufferUs, "latency-time",
                     deep ? kDeepLatencyUs : kSinkLatencyUs, nullptr);
    }
    const ApplicationIdentity who = applicationIdentity();
    const QByteArray name = who.name.toUtf8();
    const QByteArray identifier = who.identifier.toUtf8();
    if (hasProperty(element, "stream-properties")) {
        // "music" rather than "event": desktops mute or turn down the event role with their alert-sound
        // setting, and a chime the user asked for is not an alert.
        GstStructure* props = gst_structure_new(
            "props", "application.name", G_TYPE_STRING, name.constData(), "application.id", G_TYPE_STRING,
            identifier.constData(), "media.role", G_TYPE_STRING, "music", "media.name", G_TYPE_STRING,
            stream->title.toUtf8().constData(),
            // The volume is set on the stream: remembered under its own name, not for every "music" stream.
            "module-stream-restore.id", G_TYPE_STRING, identifier.constData(), nullptr);
        if (!who.iconName.isEmpty())
            gst_structure_set(props, "application.icon_name", G_TYPE_STRING,
                              who.iconName.toUtf8().constData(), nullptr);
        g_object_set(element, "stream-properties", props, nullptr);
        gst_structure_free(props);
    }
    if (hasProperty(element, "client-name"))
        g_object_set(element, "client-name", name.constData(), nullptr);
}

GstPadProbeReturn dropStale(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* stream = static_cast<GstSoundOutput::Stream*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    return GST_BUFFER_OFFSET(buffer) == stream->epoch.load() ? GST_PAD_PROBE_OK : GST_PAD_PROBE_DROP;
}

// Commands to a stream's thread, posted on its pipeline's bus.
enum Command { kDrain, kFlush, kAbandon, kRestart, kVolume, kWake };

void postCommand(GstElement* pipeline, Command how)
{
    GstStructure* s = gst_structure_new("pealix-close", "how", G_TYPE_INT, int(how), nullptr);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_post(bus, gst_message_new_application(GST_OBJECT(pipeline), s));
    gst_object_unref(bus);
}

QString errorText(GstMessage* message)
{
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = QString::fromUtf8(error ? error->message : "");
    g_clear_error(&error);
    return text;
}

// True when the sink takes the mix as it is, so no converters need to sit in front of it.
bool acceptsAsIs(GstElement* sinkBin, GstCaps* caps)
{
    // An auto-detecting bin picks its device when it goes to READY.
    if (gst_element_set_state(sinkBin, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return false;
    GstPad* pad = gst_element_get_static_pad(sinkBin, "sink");
    const bool accepts = pad && gst_pad_query_accept_caps(pad, caps);
    if (pad)
        gst_object_unref(pad);
    return accepts;
}

// appsrc [! audioconvert ! audioresample] [! clocksync] ! <sink>, built and run on the stream's thread.
bool buildAndStart(GstSoundOutput::Stream& s, QString* why)
{
    GError* error = nullptr;
    GstElement* sinkBin = gst_parse_bin_from_description(s.description.constData(), TRUE, &error);
    if (!sinkBin) {
        *why = QString::fromUtf8(error ? error->message : "");
        g_clear_error(&error);
        return false;
    }
    g_clear_error(&error);
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    // A sink that does not wait for the clock (a file writer) would consume the stream at once.
    GstElement* pacer = binSyncs(sinkBin) ? nullptr : gst_element_factory_make("clocksync", nullptr);
    s.paced = pacer != nullptr;

    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT,
                                        kOutputRate, "channels", G_TYPE_INT, s.channels, "layout",
                                        G_TYPE_STRING, "interleaved", nullptr);
    g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "is-live", FALSE, "block", FALSE, nullptr);
    GstAppSrcCallbacks callbacks = {};
    callbacks.need_data = needData;
    gst_app_src_set_callbacks(GST_APP_SRC(src), &callbacks, &s, nullptr);
    GstPad* srcPad = gst_element_get_static_pad(src, "src");
    gst_pad_add_probe(srcPad, GST_PAD_PROBE_TYPE_BUFFER, dropStale, &s, nullptr);
    gst_object_unref(srcPad);

    gst_bin_add_many(GST_BIN(s.pipeline), src, sinkBin, nullptr);
    GstElement* last = src;
    bool linked = true;
    // Also picks the device of an auto-detecting bin, which tells whether the sink takes the volume.
    if (!acceptsAsIs(sinkBin, caps)) {
        GstElement* conv = gst_element_factory_make("audioconvert", nullptr);
        GstElement* res = gst_element_factory_make("audioresample", nullptr);
        gst_bin_add_many(GST_BIN(s.pipeline), conv, res, nullptr);
        linked = gst_element_link_many(src, conv, res, nullptr);
        last = res;
    }
    s.deep = s.volumeSink != nullptr && !s.paced;
    s.chunkFrames = s.deep ? kDeepChunkFrames : s.paced ? kPacedChunkFrames : kChunkFrames;
    const size_t chunkBytes = size_t(s.chunkFrames) * size_t(s.channels) * sizeof(int16_t);
    // One chunk waiting in the source is enough to cover a late main thread, and keeps what is already
    // mixed (and so deaf to stop and volume) short.
    g_object_set(src, "max-bytes", guint64(chunkBytes), nullptr);
    s.pool = gst_buffer_pool_new();
    GstStructure* config = gst_buffer_pool_get_config(s.pool);
    gst_buffer_pool_config_set_params(config, caps, guint(chunkBytes), 4, 0);
    gst_buffer_pool_set_config(s.pool, config);
    gst_buffer_pool_set_active(s.pool, TRUE);
    if (s.deep)
        s.out->updateStreamVolume(&s);
    gst_caps_unref(caps);
    if (pacer) {
        gst_bin_add(GST_BIN(s.pipeline), pacer);
        linked = linked && gst_element_link(last, pacer);
        last = pacer;
    }
    linked = linked && gst_element_link(last, sinkBin);
    s.src = GST_APP_SRC(src);
    // The sound server's mixer shows the title as the stream's media name.
    gst_element_send_event(
        src, gst_event_new_tag(gst_tag_list_new(GST_TAG_TITLE, s.title.toUtf8().constData(), nullptr)));
    if (!linked) {
        *why = QStringLiteral("cannot link");
        return false;
    }
    if (gst_element_set_state(s.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        GstBus* bus = gst_element_get_bus(s.pipeline);
        GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        *why = msg ? errorText(msg) : QStringLiteral("failed to start");
        if (msg)
            gst_message_unref(msg);
        gst_object_unref(bus);
        return false;
    }
    return true;
}

void runStream(std::shared_ptr<GstSoundOutput::Stream> s)
{
    QString why;
    const bool started = buildAndStart(*s, &why);
    if (started)
        s->out->streamStarted(s);
    else
        s->out->streamFailed(s, why);
    GstBus* bus = gst_element_get_bus(s->pipeline);
    GstClockTime wait = GST_CLOCK_TIME_NONE;
    while (started) {
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, wait, GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_APPLICATION));
        if (!msg) {
            wait = s->out->tendHold(s.get());
            continue;
        }
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            s->out->streamFailed(s, errorText(msg));
            gst_message_unref(msg);
            break;
        }
        const GstStructure* st = gst_message_get_structure(msg);
        int how = -1;
        if (!st || !gst_structure_has_name(st, "pealix-close") || !gst_structure_get_int(st, "how", &how)) {
            gst_message_unref(msg);
            continue;
        }
        gst_message_unref(msg);
        if (how == kRestart) {
            s->out->dropQueuedSilence(s.get());
            wait = GST_CLOCK_TIME_NONE;
            continue;
        }
        if (how == kVolume) {
            s->out->updateStreamVolume(s.get());
            continue;
        }
        if (how == kWake) {
            wait = s->out->tendHold(s.get());
            continue;
        }
        if (how == kFlush && !s->paced) {
            // Drops what the sink and the sound server still hold, so a stop is heard at once. A paced
            // file sink holds nothing beyond the pacer, and a flush would restart its file.
            gst_element_send_event(GST_ELEMENT(s->src), gst_event_new_flush_start());
            gst_element_send_event(GST_ELEMENT(s->src), gst_event_new_flush_stop(TRUE));
        }
        if (how != kAbandon) {
            // Lets a file sink finish its header.
            gst_app_src_end_of_stream(s->src);
            GstMessage* done = gst_bus_timed_pop_filtered(
                bus, kDrainTimeoutMs * GST_MSECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
            if (done)
                gst_message_unref(done);
        }
        break;
    }
    gst_object_unref(bus);
    gst_element_set_state(s->pipeline, GST_STATE_NULL);
    if (s->pool) {
        gst_buffer_pool_set_active(s->pool, FALSE);
        gst_object_unref(s->pool);
        s->pool = nullptr;
    }
    if (s->volumeSink)
        gst_object_unref(s->volumeSink);
    s->volumeSink = nullptr;
    gst_object_unref(s->pipeline);
    s->pipeline = nullptr;
    s->out->streamFinished(s);
}

} // namespace

static GstSoundOutput* s_instance = nullptr;

GstSoundOutput* GstSoundOutput::instance()
{
    if (!s_instance)
        s_instance = new GstSoundOutput;
    return s_instance;
}

GstSoundOutput* GstSoundOutput::existingInstance()
{
    return s_instance;
}

GstSoundOutput::GstSoundOutput()
{
    ensureGstInit();
    m_linger = new QTimer(this);
    m_linger->setSingleShot(true);
    connect(m_linger, &QTimer::timeout, this, [this] {
        if (busy())
            scheduleIdleClose();
        else
            closeStream(Close::Drain);
    });
    m_watchdog = new QTimer(this);
    m_watchdog->setInterval(250);
    connect(m_watchdog, &QTimer::timeout, this, &GstSoundOutput::checkProgress);
}

bool GstSoundOutput::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_current || m_tail;
}

int GstSoundOutput::wantedChannels() const
{
    int channels = DecodedAudioCache::widestLiveChannels();
    std::lock_guard lock(m_mutex);
    for (const auto* v : {m_current.get(), m_tail.get()})
        if (v)
            channels = std::max(channels, v->audio->channels);
    return std::clamp(channels, 1, kMaxChannels);
}

void GstSoundOutput::play(Sound* owner, uint64_t serial, std::shared_ptr<DecodedAudio> audio,
                          std::shared_ptr<std::atomic<float>> volume, const QString& title)
{
    m_linger->stop();
    auto voice = std::make_shared<Voice>();
    voice->owner = owner;
    voice->serial = serial;
    voice->audio = std::move(audio);
    voice->frames = voice->audio->frames;
    voice->volume = std::move(volume);
    if (voice->audio->streamed)
        voice->stream = std::make_shared<AudioStreamReader>(voice->audio->path, voice->audio->channels);
    std::shared_ptr<Voice> dropped;
    bool restart = false;
    {
        std::lock_guard lock(m_mutex);
        // Single voice: a sound still playing is cut; one whose end was announced finishes first.
        dropped = std::move(m_current);
        // An open stream with nothing sounding holds silence that would delay the first sample; a deep
        // one also holds what it has of a sound that is cut.
        restart = m_active && (m_active->deep ? dropped || !m_tail : !dropped && !m_tail);
        voice->waiting = restart;
        voice->start = m_tail ? std::max(m_tail->end(), m_pos) : m_pos;
        m_current = voice;
    }
    if (!m_active) {
        m_title = title;
        open();
    } else if (restart) {
        postCommand(m_active->pipeline, kRestart);
    } else if (m_active->deep) {
        postCommand(m_active->pipeline, kWake); // the mix may be waiting at the end of the sound before
    }
}

void GstSoundOutput::volumeChanged()
{
    if (m_active && m_active->deep)
        postCommand(m_active->pipeline, kVolume);
}

float GstSoundOutput::streamVolumeLocked(Stream* s, int64_t played)
{
    // The loudest of what the stream may still hold; the others are mixed in relative to it. Sounds
    // played in turn at one volume (a chime) are all mixed at full scale.
    float volume = -1.0f;
    for (const auto* v : {m_current.get(), m_tail.get()})
        if (v)
            volume = std::max(volume, std::clamp(v->volume->load(), 0.0f, 1.0f));
    // In mix frames: what the server has played, or else the least it must have.
    const int64_t heard = played >= 0 ? m_pos - (s->pushed - played) : m_pos - kDeepAheadFrames;
    std::erase_if(m_recent, [heard](const Recent& r) { return r.end <= heard; });
    for (const Recent& r : m_recent)
        volume = std::max(volume, std::clamp(r.volume->load(), 0.0f, 1.0f));
    return volume < 0.0f ? s->wantedVolume : volume;
}

int64_t GstSoundOutput::playedFrames(Stream* s)
{
    gint64 position = -1;
    if (!s->volumeSink || !gst_element_query_position(s->volumeSink, GST_FORMAT_TIME, &position) ||
        position < 0)
        return -1;
    return int64_t(gst_util_uint64_scale(uint64_t(position), kOutputRate, GST_SECOND));
}

void GstSoundOutput::updateStreamVolume(Stream* s)
{
    const int64_t played = playedFrames(s);
    {
        std::lock_guard lock(m_mutex);
        s->wantedVolume = streamVolumeLocked(s, played);
    }
    applyStreamVolume(s);
}

void GstSoundOutput::applyStreamVolume(Stream* s)
{
    std::lock_guard order(s->volumeMutex);
    float wanted;
    {
        std::lock_guard lock(m_mutex);
        wanted = s->wantedVolume;
    }
    if (wanted != s->appliedVolume && s->volumeSink) {
        gst_stream_volume_set_volume(GST_STREAM_VOLUME(s->volumeSink), GST_STREAM_VOLUME_FORMAT_LINEAR,
                                     wanted);
        s->appliedVolume = wanted;
    }
}

void GstSoundOutput::dropQueuedSilence(Stream* s)
{
    const bool flush = !s->paced;
    if (flush) {
        {
            std::lock_guard lock(m_mutex);
            s->restarting = true;
        }
        gst_element_send_event(GST_ELEMENT(s->src), gst_event_new_flush_start());
        gst_element_send_event(GST_ELEMENT(s->src), gst_event_new_flush_stop(TRUE));
    }
    {
        std::lock_guard lock(m_mutex);
        if (flush) {
            s->restarting = false;
            s->pushed = 0;
            s->parked = false;
            ++s->epoch;
            m_recent.clear();
        }
        for (auto* v : {m_current.get(), m_tail.get()})
            if (v && v->waiting) {
                v->waiting = false;
                v->start = m_pos;
            }
    }
    // The source waits for a buffer since the flush.
    if (flush)
        render(s);
}

void GstSoundOutput::stop(Sound* owner)
{
    std::shared_ptr<Voice> a, b;
    bool silent = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_current && m_current->owner == owner)
            a = std::move(m_current);
        if (m_tail && m_tail->owner == owner)
            b = std::move(m_tail);
        silent = !m_current && !m_tail;
    }
    if ((a || b) && silent) {
        closeStream(Close::Flush);
    } else if (a || b) {
        // Drops what the stream holds of a sound still playing; a sound whose end was announced has at
        // most its last moments there, and flushing them would cut into the one after it.
        if (a && m_active && m_active->deep)
            postCommand(m_active->pipeline, kRestart);
        scheduleIdleClose();
    }
}

void GstSoundOutput::release(Sound* owner)
{
    std::shared_ptr<Voice> cut;
    {
        std::lock_guard lock(m_mutex);
        if (m_current && m_current->owner == owner)
            cut = std::move(m_current);
        // Its end was announced and its samples are still going out; nobody is left to tell.
        if (m_tail && m_tail->owner == owner)
            m_tail->owner = nullptr;
    }
    if (cut) {
        if (m_active && m_active->deep)
            postCommand(m_active->pipeline, kRestart);
        scheduleIdleClose();
    }
}

void GstSoundOutput::prepare(const QString& title)
{
    if (!m_active) {
        m_title = title;
        open();
    }
    // Outlasts the couple of seconds to the sound it was opened for.
    m_linger->start(std::max(lingerMs(), kPreparedHoldMs));
}

void GstSoundOutput::scheduleIdleClose()
{
    m_linger->start(lingerMs());
}

void GstSoundOutput::open()
{
    // While an abandoned stream still hangs, trying the same sink again would only hang another thread.
    openStream(m_stuck > 0);
}

void GstSoundOutput::openStream(bool silent)
{
    auto s = std::make_shared<Stream>();
    s->out = this;
    s->silent = silent;
    s->description = qgetenv("PEALIX_AUDIO_SINK").trimmed();
    if (s->description.isEmpty())
        s->description = "autoaudiosink";
    if (silent)
        s->description = kSilentSink;
    s->channels = wantedChannels();
    s->title = m_title.isEmpty() ? QStringLiteral("Chime") : m_title;
    s->pipeline = gst_pipeline_new("pealix-sound-output");
    g_signal_connect(s->pipeline, "deep-element-added", G_CALLBACK(onDeepElementAdded), s.get());
    {
        std::lock_guard lock(m_mutex);
        m_mixing = s.get();
        for (auto* v : {m_current.get(), m_tail.get()})
            if (v && v->waiting) {
                v->waiting = false;
                v->start = m_pos;
            }
    }
    m_active = s;
    m_lastPos = -1;
    m_sinceProgress.start();
    m_watchdog->start();
    qCDebug(lcSoundOutput) << "opening" << s->description << s->channels << "channels";
    std::thread(runStream, s).detach();
}

void GstSoundOutput::closeStream(Close how)
{
    if (!m_active)
        return;
    std::shared_ptr<Stream> s = std::move(m_active);
    {
        std::lock_guard lock(m_mutex);
        if (m_mixing == s.get())
            m_mixing = nullptr;
    }
    m_watchdog->stop();
    m_linger->stop();
    s->closing = true;
    if (how == Close::Abandon) {
        s->abandoned = true;
        ++m_stuck;
    } else {
        ++m_closing;
    }
    postCommand(s->pipeline, how == Close::Drain ? kDrain : how == Close::Flush ? kFlush : kAbandon);
}

void GstSoundOutput::checkProgress()
{
    if (!m_active)
        return;
    int64_t pos;
    {
        std::lock_guard lock(m_mutex);
        pos = m_pos;
    }
    if (pos != m_lastPos) {
        m_lastPos = pos;
        m_sinceProgress.start();
        if (!m_active->silent)
            m_outage = false;
        return;
    }
    bool parked;
    {
        std::lock_guard lock(m_mutex);
        parked = m_active->parked;
    }
    if (parked)
        m_sinceProgress.start(); // waits by intent, for the server or for a sound
    if (m_sinceProgress.elapsed() < kStallMs)
        return;
    const bool wasSilent = m_active->silent;
    logOutage(QStringLiteral("audio output \"%1\" does not respond; playing silently until it does")
                  .arg(QString::fromUtf8(m_active->description)));
    closeStream(Close::Abandon);
    if (!wasSilent || busy())
        openStream(true);
}

void GstSoundOutput::logOutage(const QString& message)
{
    if (!m_outage)
        log(message);
    m_outage = true;
}

void GstSoundOutput::streamStarted(const std::shared_ptr<Stream>& stream)
{
    QMetaObject::invokeMethod(
        this, [stream] { qCDebug(lcSoundOutput) << "started" << stream->description; }, Qt::QueuedConnection);
}

void GstSoundOutput::streamFailed(const std::shared_ptr<Stream>& stream, const QString& why)
{
    QMetaObject::invokeMethod(
        this,
        [this, stream, why] {
            if (m_active != stream)
                return;
            const bool wasSilent = stream->silent;
            logOutage(QStringLiteral("audio output \"%1\" unusable (%2); playing silently")
                          .arg(QString::fromUtf8(stream->description), why));
            // Its thread is ending by itself; this only counts it out.
            closeStream(Close::Drain);
            if (!wasSilent)
                openStream(true);
        },
        Qt::QueuedConnection);
}

void GstSoundOutput::streamFinished(const std::shared_ptr<Stream>& stream)
{
    QMetaObject::invokeMethod(
        this,
        [this, stream] {
            if (m_active == stream) {
                // Ended on its own (an error): the mix moves to a silent stream.
                closeStream(Close::Drain);
                if (busy())
                    openStream(true);
            }
            if (stream->abandoned)
                --m_stuck;
            else
                --m_closing;
            qCDebug(lcSoundOutput) << "closed" << stream->description;
        },
        Qt::QueuedConnection);
}

GstSoundOutput::Voice* GstSoundOutput::heldVoiceLocked() const
{
    if (m_current)
        return m_current->waiting ? nullptr : m_current.get();
    return m_tail && m_tail->holding ? m_tail.get() : nullptr;
}

void GstSoundOutput::retireTailLocked(std::vector<std::shared_ptr<Voice>>& released)
{
    // Its last samples may still be in the server's buffer, at its volume.
    m_recent.push_back({m_tail->volume, m_tail->end()});
    released.push_back(std::move(m_tail));
}

uint64_t GstSoundOutput::tendHold(Stream* s)
{
    const int64_t played = playedFrames(s);
    std::vector<std::shared_ptr<Voice>> released;
    bool wake = false;
    int64_t wait = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!s->parked || s != m_mixing || (!m_current && !m_tail))
            return GST_CLOCK_TIME_NONE;
        Voice* held = heldVoiceLocked();
        if (!held || m_pos < held->end()) {
            wake = true; // something follows now
        } else {
            // What the server has still to play: by its position, and never more than it could hold at
            // the park less the time since, so a position that stands still cannot hold the end back.
            int64_t depth = kDeepAheadFrames - s->parkedAt.elapsed() * kOutputRate / 1000;
            if (played >= 0)
                depth = std::min(depth, s->pushed - played);
            if (held == m_current.get() && depth <= kDeepEndLookahead) {
                Sound* owner = m_current->owner;
                const uint64_t serial = m_current->serial;
                if (owner)
                    QMetaObject::invokeMethod(
                        owner, [owner, serial] { soundReachedEnd(owner, serial); }, Qt::QueuedConnection);
                if (m_tail)
                    retireTailLocked(released);
                m_tail = std::move(m_current);
                m_tail->holding = true;
                wait = depth - kDeepHoldFrames;
            } else if (held == m_current.get()) {
                wait = depth - kDeepEndLookahead;
            } else if (depth <= kDeepHoldFrames) {
                held->holding = false; // nothing followed: silence from here
                wake = true;
            } else {
                wait = depth - kDeepHoldFrames;
            }
        }
        if (wake)
            s->parked = false;
    }
    if (wake) {
        render(s);
        return GST_CLOCK_TIME_NONE;
    }
    // Looks again at least every 50 ms, in case the server's position moved unevenly.
    const int64_t us = std::clamp<int64_t>(wait * 1000000 / kOutputRate, 2000, 50000);
    return GstClockTime(us) * GST_USECOND;
}

void GstSoundOutput::render(Stream* stream)
{
    int64_t n = stream->chunkFrames;
    const int channels = stream->channels;
    GstBuffer* buffer = nullptr;
    if (gst_buffer_pool_acquire_buffer(stream->pool, &buffer, nullptr) != GST_FLOW_OK)
        return;
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    auto* out = reinterpret_cast<int16_t*>(map.data);
    // Per thread: a flush renders from the stream's thread while its streaming thread may be asking too.
    thread_local std::vector<float> mixBuffer;
    thread_local std::vector<int16_t> scratch;
    mixBuffer.assign(size_t(n * channels), 0.0f);
    float* mix = mixBuffer.data();
    std::vector<std::shared_ptr<Voice>> released; // destroyed outside the lock (stream pipelines)
    bool park = false;
    const int64_t played = stream->deep ? playedFrames(stream) : -1;

    {
        std::lock_guard lock(m_mutex);
        if (stream->restarting) {
            gst_buffer_unmap(buffer, &map);
            gst_buffer_unref(buffer);
            return;
        }
        if (stream == m_mixing) {
            const int64_t pos = m_pos;
            const bool deep = stream->deep;
            if (deep) {
                // The mix goes no further than the end of a sound until it is known what follows.
                if (const Voice* held = heldVoiceLocked()) {
                    const int64_t left = held->end() - pos;
                    park = left <= 0;
                    n = std::max<int64_t>(std::min(n, left), 0);
                } else if (!m_tail) {
                    // Silence while idle goes in short chunks: whatever of it a sound's restart does not
                    // flush (one racing it) delays the sound by no more than that.
                    n = std::min(n, kChunkFrames);
                }
                stream->wantedVolume = streamVolumeLocked(stream, played);
            }
            const float streamVolume = stream->wantedVolume;
            for (auto* slot : {&m_tail, &m_current}) {
                Voice* v = slot->get();
                if (park || !v || v->waiting)
                    continue;
                const int64_t from = std::max(pos, v->start);
                const int64_t to = std::min(pos + n, v->end());
                if (from >= to)
                    continue;
                const int vc = v->audio->channels;
                float target = std::clamp(v->volume->load(), 0.0f, 1.0f);
                if (deep)
                    target = streamVolume > 0.0f ? target / streamVolume : 0.0f;
                const float g0 = v->gain < 0.0f ? target : v->gain;
                const int64_t count = to - from;
                int64_t p = from - v->start;
                float* dst = mix + (from - pos) * channels;
                const int64_t memCount = std::clamp<int64_t>(v->audio->memoryFrames() - p, 0, count);
                const int16_t* srcSamples = v->audio->samples.data() + p * vc;
                if (memCount < count) {
                    scratch.assign(size_t(count * vc), 0);
                    std::copy(srcSamples, srcSamples + memCount * vc, scratch.begin());
                    if (v->stream)
                        v->stream->read(p + memCount, scratch.data() + memCount * vc, count - memCount);
                    srcSamples = scratch.data();
                }
                constexpr float scale = 1.0f / 32768.0f;
                for (int64_t i = 0; i < count; ++i) {
                    const float g = (g0 + (target - g0) * float(i + 1) / float(count)) * scale;
                    const int16_t* in = srcSamples + i * vc;
                    float* o = dst + i * channels;
                    if (vc == channels) {
                        for (int c = 0; c < channels; ++c)
                            o[c] += float(in[c]) * g;
                    } else if (vc == 1) {
                        for (int c = 0; c < channels; ++c)
                            o[c] += float(in[0]) * g;
                    } else {
                        o[0] += (float(in[0]) + float(in[1])) * 0.5f * g;
                    }
                }
                v->gain = target;
                p += count;
                if (v->stream && p < v->audio->memoryFrames())
                    v->stream->discardBefore(p);
                if (v->stream) {
                    const int64_t decoded = v->stream->decodedLength();
                    if (decoded >= 0 && decoded < v->frames)
                        v->frames = std::max({decoded, p, v->audio->memoryFrames()});
                }
            }
            if (park) {
                stream->parked = true;
                stream->parkedAt.start();
            } else {
                if (m_tail && m_tail->end() <= pos + n)
                    retireTailLocked(released);
                // A deep stream announces the end by what the server has played (tendHold).
                if (!deep && m_current && !m_current->waiting &&
                    m_current->end() <= pos + n + kEndLookahead) {
                    // The caller gets the end while the last samples are still ahead, so a next sound
                    // lands right after them.
                    Sound* owner = m_current->owner;
                    const uint64_t serial = m_current->serial;
                    QMetaObject::invokeMethod(
                        owner, [owner, serial] { soundReachedEnd(owner, serial); }, Qt::QueuedConnection);
                    if (m_tail)
                        retireTailLocked(released);
                    m_tail = std::move(m_current);
                    if (m_tail->end() <= pos + n)
                        retireTailLocked(released);
                }
                m_pos = pos + n;
            }
        }
        if (!park) {
            GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(uint64_t(stream->pushed), GST_SECOND, kOutputRate);
            GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(uint64_t(n), GST_SECOND, kOutputRate);
            GST_BUFFER_OFFSET(buffer) = stream->epoch.load();
            stream->pushed += n;
        }
    }
    if (park) {
        gst_buffer_unmap(buffer, &map);
        gst_buffer_unref(buffer);
        postCommand(stream->pipeline, kWake); // its thread watches the server play out what it holds
        return;
    }
    if (stream->deep)
        applyStreamVolume(stream);
    for (int64_t i = 0; i < n * channels; ++i)
        out[i] = int16_t(std::lrint(std::clamp(mix[i] * 32768.0f, -32768.0f, 32767.0f)));
    gst_buffer_unmap(buffer, &map);
    if (n < stream->chunkFrames)
        gst_buffer_resize(buffer, 0, gssize(n * channels * gssize(sizeof(int16_t))));
    gst_app_src_push_buffer(stream->src, buffer);
}

} // namespace platform
