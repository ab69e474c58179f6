#include "platform/GstSoundOutput.h"

#include "platform/Log.h"
#include "platform/Sound.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <gst/app/gstappsrc.h>
#include <gst/audio/gstaudiobasesink.h>
#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <vector>

namespace platform {

void soundReachedEnd(Sound* sound, uint64_t serial); // Sound.cpp

namespace {

constexpr int64_t kChunkFrames = kOutputRate / 200;      // 5 ms per buffer
constexpr int64_t kEndLookahead = kOutputRate * 3 / 100; // end announced 30 ms ahead
constexpr int kDefaultLingerMs = 1500;
constexpr int kDrainTimeoutMs = 500;

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

// Device sinks buffer 200 ms by default; a small ring keeps stop and volume changes prompt.
void onDeepElementAdded(GstBin*, GstBin*, GstElement* element, gpointer)
{
    if (GST_IS_AUDIO_BASE_SINK(element))
        g_object_set(element, "buffer-time", gint64(40000), "latency-time", gint64(10000), nullptr);
}

void needData(GstAppSrc*, guint, gpointer self)
{
    static_cast<GstSoundOutput*>(self)->render();
}

} // namespace

struct GstSoundOutput::Voice {
    Sound* owner = nullptr;
    uint64_t serial = 0;
    std::shared_ptr<DecodedAudio> audio;
    std::shared_ptr<AudioStreamReader> stream;
    std::shared_ptr<std::atomic<float>> volume;
    int64_t start = 0;
    int64_t frames = 0; // the promised length, cut short when a stream ends early
    float gain = 0.0f;  // last applied, ramped towards *volume per buffer
    int64_t end() const { return start + frames; }
};

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
            close(true);
    });
}

bool GstSoundOutput::busy()
{
    std::lock_guard lock(m_mutex);
    return m_current || m_tail;
}

void GstSoundOutput::play(Sound* owner, uint64_t serial, std::shared_ptr<DecodedAudio> audio,
                          std::shared_ptr<std::atomic<float>> volume)
{
    m_linger->stop();
    auto voice = std::make_shared<Voice>();
    voice->owner = owner;
    voice->serial = serial;
    voice->audio = std::move(audio);
    voice->frames = voice->audio->frames;
    voice->volume = std::move(volume);
    voice->gain = voice->volume->load();
    if (voice->audio->streamed)
        voice->stream = std::make_shared<AudioStreamReader>(voice->audio->path);
    std::shared_ptr<Voice> dropped;
    {
        std::lock_guard lock(m_mutex);
        // Single voice: a sound still playing is cut; one whose end was announced finishes first.
        dropped = std::move(m_current);
        voice->start = m_tail ? std::max(m_tail->end(), m_pos) : m_pos;
        m_current = voice;
    }
    if (!m_pipeline)
        open();
}

void GstSoundOutput::stop(Sound* owner)
{
    std::shared_ptr<Voice> a, b;
    {
        std::lock_guard lock(m_mutex);
        if (m_current && m_current->owner == owner)
            a = std::move(m_current);
        if (m_tail && m_tail->owner == owner)
            b = std::move(m_tail);
    }
    if (a || b)
        scheduleIdleClose();
}

void GstSoundOutput::prepare()
{
    if (!m_pipeline)
        open();
    scheduleIdleClose();
}

void GstSoundOutput::scheduleIdleClose()
{
    m_linger->start(lingerMs());
}

bool GstSoundOutput::open()
{
    openPipeline(false);
    return m_pipeline != nullptr;
}

void GstSoundOutput::openPipeline(bool forceFakeSink)
{
    static bool loggedFallback = false;
    QByteArray description = qgetenv("PEALIX_AUDIO_SINK").trimmed();
    if (description.isEmpty())
        description = "autoaudiosink";
    if (forceFakeSink)
        description = "fakesink sync=true";

    GError* error = nullptr;
    GstElement* sinkBin = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    if (!sinkBin) {
        if (!loggedFallback)
            log(QStringLiteral("audio sink \"%1\" unusable (%2); playing silently")
                    .arg(QString::fromUtf8(description), QString::fromUtf8(error ? error->message : "")));
        loggedFallback = true;
        g_clear_error(&error);
        if (!forceFakeSink)
            openPipeline(true);
        return;
    }
    g_clear_error(&error);

    GstElement* pipeline = gst_pipeline_new("pealix-sound-output");
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* conv = gst_element_factory_make("audioconvert", nullptr);
    GstElement* res = gst_element_factory_make("audioresample", nullptr);
    // A sink that does not wait for the clock (a file writer) would consume the stream at once.
    GstElement* pacer = binSyncs(sinkBin) ? nullptr : gst_element_factory_make("clocksync", nullptr);
    g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(onDeepElementAdded), nullptr);

    GstCaps* caps = gst_caps_from_string("audio/x-raw,format=F32LE,rate=48000,channels=2,layout=interleaved");
    g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "is-live", FALSE, "block", FALSE, "max-bytes",
                 guint64(kChunkFrames * kOutputChannels * sizeof(float) * 4), nullptr);
    gst_caps_unref(caps);
    GstAppSrcCallbacks callbacks = {};
    callbacks.need_data = needData;
    gst_app_src_set_callbacks(GST_APP_SRC(src), &callbacks, this, nullptr);

    gst_bin_add_many(GST_BIN(pipeline), src, conv, res, sinkBin, nullptr);
    bool linked = gst_element_link_many(src, conv, res, nullptr);
    if (pacer) {
        gst_bin_add(GST_BIN(pipeline), pacer);
        linked = linked && gst_element_link_many(res, pacer, sinkBin, nullptr);
    } else {
        linked = linked && gst_element_link(res, sinkBin);
    }
    if (!linked || gst_element_set_state(pipeline, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        if (!loggedFallback)
            log(QStringLiteral("audio sink \"%1\" failed to start; playing silently")
                    .arg(QString::fromUtf8(description)));
        loggedFallback = true;
        if (!forceFakeSink)
            openPipeline(true);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_streamBase = m_pos;
        m_src = GST_APP_SRC(src);
    }
    m_pipeline = pipeline;
    GstBus* bus = gst_element_get_bus(pipeline);
    m_busWatch = gst_bus_add_watch(bus, &GstSoundOutput::onBusMessage, this);
    gst_object_unref(bus);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        close(false);
        if (!forceFakeSink)
            openPipeline(true);
    }
}

int GstSoundOutput::onBusMessage(GstBus*, GstMessage* message, void* data)
{
    auto* self = static_cast<GstSoundOutput*>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        log(QStringLiteral("audio output error (%1); continuing silently")
                .arg(QString::fromUtf8(error ? error->message : "")));
        g_clear_error(&error);
        // The watch is removed by close(); returning FALSE as well keeps GLib from removing it twice.
        self->m_busWatch = 0;
        self->close(false);
        self->openPipeline(true);
        return FALSE;
    }
    return TRUE;
}

void GstSoundOutput::close(bool drain)
{
    if (!m_pipeline)
        return;
    if (drain) {
        // Lets a file sink finish its header.
        gst_app_src_end_of_stream(m_src);
        GstBus* bus = gst_element_get_bus(m_pipeline);
        GstMessage* msg = gst_bus_timed_pop_filtered(bus, kDrainTimeoutMs * GST_MSECOND,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (msg)
            gst_message_unref(msg);
        gst_object_unref(bus);
    }
    if (m_busWatch)
        g_source_remove(m_busWatch);
    m_busWatch = 0;
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    {
        std::lock_guard lock(m_mutex);
        m_src = nullptr;
    }
    gst_object_unref(m_pipeline);
    m_pipeline = nullptr;
}

void GstSoundOutput::render()
{
    const int64_t n = kChunkFrames;
    GstBuffer* buffer =
        gst_buffer_new_allocate(nullptr, size_t(n) * kOutputChannels * sizeof(float), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    auto* out = reinterpret_cast<float*>(map.data);
    std::fill(out, out + n * kOutputChannels, 0.0f);
    std::vector<float> scratch;
    std::vector<std::shared_ptr<Voice>> released; // destroyed outside the lock (stream pipelines)

    GstAppSrc* src = nullptr;
    {
        std::lock_guard lock(m_mutex);
        src = m_src;
        const int64_t pos = m_pos;
        for (auto* slot : {&m_tail, &m_current}) {
            Voice* v = slot->get();
            if (!v)
                continue;
            const int64_t from = std::max(pos, v->start);
            const int64_t to = std::min(pos + n, v->end());
            if (from < to) {
                const float target = std::clamp(v->volume->load(), 0.0f, 1.0f);
                const float g0 = v->gain;
                const int64_t count = to - from;
                int64_t p = from - v->start;
                float* dst = out + (from - pos) * kOutputChannels;
                const int64_t memCount = std::clamp<int64_t>(v->audio->memoryFrames() - p, 0, count);
                const float* mem = v->audio->samples.data() + p * kOutputChannels;
                const float* srcSamples = mem;
                if (memCount < count) {
                    scratch.assign(size_t(count) * kOutputChannels, 0.0f);
                    std::copy(mem, mem + memCount * kOutputChannels, scratch.begin());
                    if (v->stream)
                        v->stream->read(p + memCount, scratch.data() + memCount * kOutputChannels,
                                        count - memCount);
                    srcSamples = scratch.data();
                }
                for (int64_t i = 0; i < count; ++i) {
                    const float g = g0 + (target - g0) * float(i + 1) / float(count);
                    for (int c = 0; c < kOutputChannels; ++c)
                        dst[i * kOutputChannels + c] += srcSamples[i * kOutputChannels + c] * g;
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
        }
        if (m_tail && m_tail->end() <= pos + n)
            released.push_back(std::move(m_tail));
        if (m_current && m_current->end() <= pos + n + kEndLookahead) {
            // The caller gets the end while the last samples are still ahead, so a next sound lands
            // right after them.
            Sound* owner = m_current->owner;
            const uint64_t serial = m_current->serial;
            QMetaObject::invokeMethod(
                owner, [owner, serial] { soundReachedEnd(owner, serial); }, Qt::QueuedConnection);
            if (m_tail)
                released.push_back(std::move(m_tail));
            m_tail = std::move(m_current);
            if (m_tail->end() <= pos + n)
                released.push_back(std::move(m_tail));
        }
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(uint64_t(pos - m_streamBase), GST_SECOND, kOutputRate);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(uint64_t(n), GST_SECOND, kOutputRate);
        m_pos = pos + n;
    }
    gst_buffer_unmap(buffer, &map);
    if (src)
        gst_app_src_push_buffer(src, buffer);
    else
        gst_buffer_unref(buffer);
}

} // namespace platform
