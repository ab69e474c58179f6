// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/audio/gst/GstAudioDecoder.h"

#include "platform/core/ApplicationIdentity.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <mutex>

namespace platform {

void ensureGstInit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The sound server shows this as the program behind the stream.
        g_set_application_name(applicationIdentity().name.toUtf8().constData());
        gst_init(nullptr, nullptr);
    });
}

namespace {

// Mono stays mono, stereo stays stereo, anything wider is mixed down to stereo.
QByteArray pcmCaps(int channels)
{
    const QByteArray count = channels > 0 ? QByteArray::number(channels) : QByteArrayLiteral("[1,2]");
    return "audio/x-raw,format=S16LE,rate=48000,layout=interleaved,channels=" + count;
}

// Filled by decodebin's pad-added from its streaming thread, read by the caller.
struct PadState {
    GstElement* pipeline = nullptr;
    GstElement* audioIn = nullptr; // first element of the audio chain
    std::atomic<bool> linked{false};
    std::atomic<bool> noMorePads{false};
};

void onPadAdded(GstElement*, GstPad* pad, gpointer data)
{
    auto* state = static_cast<PadState*>(data);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const GstStructure* s = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    const bool audio = s && g_str_has_prefix(gst_structure_get_name(s), "audio/");
    if (caps)
        gst_caps_unref(caps);

    if (audio && !state->linked.exchange(true)) {
        GstPad* sinkPad = gst_element_get_static_pad(state->audioIn, "sink");
        gst_pad_link(pad, sinkPad);
        gst_object_unref(sinkPad);
        return;
    }
    // Video and extra audio streams are drained into a fakesink so the demuxer does not stall on them.
    GstElement* drain = gst_element_factory_make("fakesink", nullptr);
    g_object_set(drain, "sync", FALSE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(state->pipeline), drain);
    gst_element_sync_state_with_parent(drain);
    GstPad* sinkPad = gst_element_get_static_pad(drain, "sink");
    gst_pad_link(pad, sinkPad);
    gst_object_unref(sinkPad);
}

void onNoMorePads(GstElement*, gpointer data)
{
    static_cast<PadState*>(data)->noMorePads = true;
}

// filesrc ! decodebin ! audioconvert ! audioresample ! capsfilter ! appsink
GstElement* buildPipeline(const QString& path, int channels, GstElement** appsinkOut, PadState** stateOut)
{
    ensureGstInit();
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* src = gst_element_factory_make("filesrc", nullptr);
    GstElement* dec = gst_element_factory_make("decodebin", nullptr);
    GstElement* conv = gst_element_factory_make("audioconvert", nullptr);
    GstElement* res = gst_element_factory_make("audioresample", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline || !src || !dec || !conv || !res || !filter || !sink) {
        for (GstElement* e : {pipeline, src, dec, conv, res, filter, sink})
            if (e)
                gst_object_unref(e);
        return nullptr;
    }
    g_object_set(src, "location", QFile::encodeName(path).constData(), nullptr);
    // Dither would make identical files decode differently and add noise to silence.
    g_object_set(conv, "dithering", 0, nullptr);
    GstCaps* caps = gst_caps_from_string(pcmCaps(channels).constData());
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, "emit-signals", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, dec, conv, res, filter, sink, nullptr);
    gst_element_link(src, dec);
    gst_element_link_many(conv, res, filter, sink, nullptr);

    auto* state = new PadState;
    state->pipeline = pipeline;
    state->audioIn = conv;
    g_object_set_data_full(G_OBJECT(pipeline), "pealix-pad-state", state,
                           [](gpointer p) { delete static_cast<PadState*>(p); });
    g_signal_connect(dec, "pad-added", G_CALLBACK(onPadAdded), state);
    g_signal_connect(dec, "no-more-pads", G_CALLBACK(onNoMorePads), state);
    *appsinkOut = sink;
    *stateOut = state;
    return pipeline;
}

bool busHasError(GstElement* pipeline)
{
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    gst_object_unref(bus);
    if (!msg)
        return false;
    gst_message_unref(msg);
    return true;
}

int sampleChannels(GstSample* sample)
{
    GstCaps* caps = gst_sample_get_caps(sample);
    const GstStructure* s = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
    int channels = 0;
    if (!s || !gst_structure_get_int(s, "channels", &channels))
        return 0;
    return channels;
}

void appendSample(GstSample* sample, int channels, std::vector<int16_t>* out, int64_t* frames)
{
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const size_t count = map.size / sizeof(int16_t) / size_t(channels) * size_t(channels);
        if (out) {
            const size_t old = out->size();
            out->resize(old + count);
            std::memcpy(out->data() + old, map.data, count * sizeof(int16_t));
        }
        *frames += static_cast<int64_t>(count / size_t(channels));
        gst_buffer_unmap(buffer, &map);
    }
}

void destroyPipeline(GstElement* pipeline)
{
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

} // namespace

std::shared_ptr<DecodedAudio> decodeAudioFile(const QString& path, size_t maxBytes, int timeoutMs)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable() || info.size() == 0)
        return nullptr;
    GstElement* sink = nullptr;
    PadState* state = nullptr;
    GstElement* pipeline = buildPipeline(info.absoluteFilePath(), 0, &sink, &state);
    if (!pipeline)
        return nullptr;

    auto result = std::make_shared<DecodedAudio>();
    result->path = info.absoluteFilePath();
    // The decoder must not run ahead of this loop, or its queue would hold the whole file.
    g_object_set(sink, "max-buffers", 32u, "drop", FALSE, nullptr);
    // A streamed sound keeps its first second (at most the limit) to play while its stream starts.
    size_t prefixSamples = 0;
    const auto streamFrom = [&](int64_t totalFrames) {
        result->streamed = true;
        result->frames = totalFrames;
        result->samples.resize(std::min(result->samples.size(), prefixSamples));
        result->samples.shrink_to_fit();
    };
    QElapsedTimer timer;
    timer.start();
    bool ok = false;
    bool sized = false;       // the demuxer's length has been asked for
    int64_t knownFrames = -1; // that length, when it was given
    bool counting = false;    // past the memory limit, with no length from the demuxer
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        while (timer.elapsed() < timeoutMs) {
            GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_MSECOND);
            if (sample) {
                if (result->frames == 0 && result->samples.empty()) {
                    const int channels = sampleChannels(sample);
                    if (channels < 1 || channels > kMaxChannels) {
                        gst_sample_unref(sample);
                        break;
                    }
                    result->channels = channels;
                    prefixSamples =
                        std::min(size_t(kOutputRate) * size_t(channels), maxBytes / sizeof(int16_t));
                }
                appendSample(sample, result->channels, counting ? nullptr : &result->samples,
                             &result->frames);
                gst_sample_unref(sample);
                if (counting)
                    continue;
                gint64 ns = -1;
                if (!sized) {
                    sized = true;
                    // A known length decides at once whether the file streams, and spares the
                    // vector its doublings (each of which briefly holds half again as much).
                    if (gst_element_query_duration(pipeline, GST_FORMAT_TIME, &ns) && ns > 0) {
                        knownFrames = int64_t(gst_util_uint64_scale(ns, kOutputRate, GST_SECOND));
                        const size_t samples = size_t(knownFrames) * size_t(result->channels);
                        result->samples.reserve(samples * sizeof(int16_t) > maxBytes
                                                    ? prefixSamples
                                                    : samples + prefixSamples / 10);
                    }
                }
                const bool tooLong =
                    knownFrames > 0 &&
                    size_t(knownFrames) * size_t(result->channels) * sizeof(int16_t) > maxBytes;
                if (tooLong && result->samples.size() >= prefixSamples) {
                    streamFrom(knownFrames);
                    ok = true;
                    break;
                }
                if (result->samples.size() * sizeof(int16_t) > maxBytes) {
                    // The length was unknown or wrong: count the rest without keeping it.
                    streamFrom(result->frames);
                    counting = true;
                }
                continue;
            }
            if (busHasError(pipeline))
                break;
            if (gst_app_sink_is_eos(GST_APP_SINK(sink))) {
                ok = true;
                break;
            }
            if (state->noMorePads && !state->linked)
                break;
        }
    }
    destroyPipeline(pipeline);
    if (!ok || result->frames <= 0)
        return nullptr;
    // The length guess left spare room; the sound is held all day.
    result->samples.shrink_to_fit();
    return result;
}

AudioStreamReader::AudioStreamReader(const QString& path, int channels) : m_channels(channels)
{
    PadState* state = nullptr;
    m_pipeline = buildPipeline(path, channels, &m_sink, &state);
    if (!m_pipeline)
        return;
    // A few decoded buffers ahead is enough: the output reads from memory for the first second.
    g_object_set(m_sink, "max-buffers", 8u, "drop", FALSE, nullptr);
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        destroyPipeline(m_pipeline);
        m_pipeline = nullptr;
    }
}

AudioStreamReader::~AudioStreamReader()
{
    if (m_pipeline)
        destroyPipeline(m_pipeline);
}

bool AudioStreamReader::pullMore()
{
    if (!m_pipeline || m_eos)
        return false;
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(m_sink), 0);
    if (!sample) {
        m_eos = gst_app_sink_is_eos(GST_APP_SINK(m_sink));
        return false;
    }
    m_pending.clear();
    m_pendingOffset = 0;
    int64_t frames = 0;
    appendSample(sample, m_channels, &m_pending, &frames);
    gst_sample_unref(sample);
    return true;
}

int64_t AudioStreamReader::decodedLength() const
{
    if (!m_pipeline)
        return 0;
    if (!m_eos)
        return -1;
    return m_pendingPos + static_cast<int64_t>(m_pending.size() - m_pendingOffset) / m_channels;
}

void AudioStreamReader::discardBefore(int64_t pos)
{
    while (m_pendingPos < pos) {
        const int64_t avail = static_cast<int64_t>(m_pending.size() - m_pendingOffset) / m_channels;
        if (avail == 0) {
            if (!pullMore())
                return;
            continue;
        }
        const int64_t skip = std::min(avail, pos - m_pendingPos);
        m_pendingOffset += size_t(skip) * size_t(m_channels);
        m_pendingPos += skip;
    }
}

void AudioStreamReader::read(int64_t pos, int16_t* out, int64_t n)
{
    std::fill(out, out + n * m_channels, int16_t(0));
    while (n > 0) {
        const int64_t avail = static_cast<int64_t>(m_pending.size() - m_pendingOffset) / m_channels;
        if (avail == 0) {
            if (!pullMore())
                return;
            continue;
        }
        if (m_pendingPos < pos) {
            const int64_t skip = std::min(avail, pos - m_pendingPos);
            m_pendingOffset += size_t(skip) * size_t(m_channels);
            m_pendingPos += skip;
            continue;
        }
        if (m_pendingPos > pos) {
            // Only reached when the caller skipped backwards, which it never does; keep silence.
            const int64_t gap = std::min(n, m_pendingPos - pos);
            pos += gap;
            out += gap * m_channels;
            n -= gap;
            continue;
        }
        const int64_t take = std::min(avail, n);
        std::memcpy(out, m_pending.data() + m_pendingOffset, size_t(take * m_channels) * sizeof(int16_t));
        m_pendingOffset += size_t(take * m_channels);
        m_pendingPos += take;
        pos += take;
        out += take * m_channels;
        n -= take;
    }
}

} // namespace platform
