// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Reads the level of a source the way a volume applet's meter does, until killed.
//   PeakMeter <source>; prints "ready" once the stream records. The server is PULSE_SERVER's.

#include <pulse/pulseaudio.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Peak meter");
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return 1;
    while (pa_context_get_state(context) != PA_CONTEXT_READY)
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || pa_mainloop_iterate(loop, 1, nullptr) < 0)
            return 1;
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32, 25, 1};
    pa_stream* stream = pa_stream_new(context, "Peak detect", &spec, nullptr);
    pa_stream_set_read_callback(
        stream,
        [](pa_stream* s, size_t, void*) {
            const void* data;
            size_t size;
            while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &size) == 0 && size > 0)
                pa_stream_drop(s);
        },
        nullptr);
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = sizeof(float);
    const auto flags =
        pa_stream_flags_t(PA_STREAM_DONT_MOVE | PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream, argv[1], &attr, flags) < 0)
        return 1;
    while (pa_stream_get_state(stream) != PA_STREAM_READY)
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) || pa_mainloop_iterate(loop, 1, nullptr) < 0)
            return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    int result = 0;
    pa_mainloop_run(loop, &result);
    return result;
}
