// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SoundingProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>

namespace bench {

std::atomic<int64_t> firstSound{0};
std::atomic<int64_t> lastSound{0};

int64_t wallNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

namespace {

struct BenchProbe {
    GstBaseTransform parent;
};
struct BenchProbeClass {
    GstBaseTransformClass parent;
};

G_DEFINE_TYPE(BenchProbe, bench_probe, GST_TYPE_BASE_TRANSFORM)

GstFlowReturn probeTransform(GstBaseTransform*, GstBuffer* buffer)
{
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const auto* s = reinterpret_cast<const int16_t*>(map.data);
        const bool sounding = std::any_of(s, s + map.size / 2, [](int16_t v) { return v > 300 || v < -300; });
        gst_buffer_unmap(buffer, &map);
        if (sounding) {
            const int64_t t = wallNs();
            int64_t expected = 0;
            firstSound.compare_exchange_strong(expected, t);
            lastSound = t;
        }
    }
    return GST_FLOW_OK;
}

void bench_probe_class_init(BenchProbeClass* klass)
{
    auto* element = GST_ELEMENT_CLASS(klass);
    static GstStaticPadTemplate sinkT = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                                                GST_STATIC_CAPS("audio/x-raw,format=S16LE"));
    static GstStaticPadTemplate srcT = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                                               GST_STATIC_CAPS("audio/x-raw,format=S16LE"));
    gst_element_class_add_static_pad_template(element, &sinkT);
    gst_element_class_add_static_pad_template(element, &srcT);
    gst_element_class_set_static_metadata(element, "Bench probe", "Filter/Audio", "Stamps sounding buffers",
                                          "pealix");
    GST_BASE_TRANSFORM_CLASS(klass)->transform_ip = probeTransform;
    GST_BASE_TRANSFORM_CLASS(klass)->passthrough_on_same_caps = FALSE;
}

void bench_probe_init(BenchProbe* self)
{
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}

} // namespace

void registerSoundingProbe()
{
    gst_element_register(nullptr, "benchprobe", GST_RANK_NONE, bench_probe_get_type());
}

bool spinUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}

} // namespace bench
