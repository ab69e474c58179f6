// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Records a sound server's monitor source and prints the wall-clock instant at which sound starts after
// a silence, so that a benchmark can compare when different players get their first sample out.
//   pulse_monitor <source> <seconds>
// Each onset is printed as "onset <ns since the epoch>"; the server is PULSE_SERVER's.

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: pulse_monitor <source> <seconds>\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    GError* error = nullptr;
    char description[512];
    // A 5 ms capture fragment keeps the stamps of the first sounding buffer fine-grained.
    std::snprintf(description, sizeof description,
                  "pulsesrc device=%s buffer-time=20000 latency-time=5000 ! "
                  "audio/x-raw,format=S16LE,rate=48000,channels=1 ! appsink name=out sync=false",
                  argv[1]);
    GstElement* pipeline = gst_parse_launch(description, &error);
    if (!pipeline) {
        std::fprintf(stderr, "pulse_monitor: %s\n", error ? error->message : "cannot build");
        return 1;
    }
    // Timestamps on the wall clock: running time plus the base time of a realtime system clock.
    GstClock* clock =
        GST_CLOCK(g_object_new(GST_TYPE_SYSTEM_CLOCK, "clock-type", GST_CLOCK_TYPE_REALTIME, nullptr));
    gst_pipeline_use_clock(GST_PIPELINE(pipeline), clock);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);

    const int rate = 48000;
    const int64_t quietNeeded = rate; // a second of silence before an onset counts
    int64_t quiet = quietNeeded;
    const gint64 end = g_get_real_time() + gint64(seconds * 1e6);
    while (g_get_real_time() < end) {
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 100 * GST_MSECOND);
        if (!sample)
            continue;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (buffer && GST_BUFFER_PTS_IS_VALID(buffer) && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto* s = reinterpret_cast<const int16_t*>(map.data);
            const size_t n = map.size / 2;
            const GstClockTime base = gst_element_get_base_time(pipeline);
            for (size_t i = 0; i < n; ++i) {
                if (std::abs(s[i]) > 300) {
                    if (quiet >= quietNeeded) {
                        const GstClockTime at = base + GST_BUFFER_PTS(buffer) + i * GST_SECOND / rate;
                        std::printf("onset %llu\n", static_cast<unsigned long long>(at));
                        std::fflush(stdout);
                    }
                    quiet = 0;
                } else {
                    ++quiet;
                }
            }
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    gst_object_unref(clock);
    return 0;
}
