// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Many recordings in one client of the sound server (PULSE_SERVER), spread over the given sources, which
// take a few hundred streams each. Commands on standard input, one a line:
//   open N [seq]     N more streams, all asked at once (or each after the one before records);
//                    prints "open <streams> <monotonic seconds>" once all record
//   close N [seq]    the N newest, all at once (or each after the server took the one before);
//                    prints "open <streams> <monotonic seconds>" once the server took them
//   churn SECONDS [SOURCE]  one more stream (from SOURCE, or the first) opened and closed back to back;
//                    prints "churned <cycles>"
// It ends at the end of its input.
//   CaptureStreams <source>...

#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

pa_mainloop* loop;
pa_context* context;
std::vector<std::string> sources;
std::vector<pa_stream*> streams;
unsigned made = 0;
int opening = 0; // asked for, not yet recording
int toOpen = 0;  // still to ask for, one at a time
int toClose = 0; // still to close, one at a time
Clock::time_point churnUntil;
long churned = 0;
std::string churnSource;
std::string input;

// Seconds on the monotonic clock, which other programs can compare with theirs.
double now()
{
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void report()
{
    std::printf("open %zu %.3f\n", streams.size(), now());
    std::fflush(stdout);
}

void openOne(pa_stream_notify_cb_t onState);

void drop(pa_stream* s, size_t, void*)
{
    const void* data;
    size_t size;
    while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &size) == 0 && size > 0)
        pa_stream_drop(s);
}

void opened(pa_stream* s, void*)
{
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED) {
        std::fprintf(stderr, "CaptureStreams: %s\n", pa_strerror(pa_context_errno(context)));
        std::exit(1);
    }
    if (state != PA_STREAM_READY)
        return;
    pa_stream_set_state_callback(s, nullptr, nullptr);
    if (--opening > 0)
        return;
    if (toOpen > 0) {
        --toOpen;
        openOne(opened);
        return;
    }
    report();
}

void openOne(pa_stream_notify_cb_t onState)
{
    // The source's own format: the server resamples nothing for these.
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 8000, 1};
    const std::string name = "Capture " + std::to_string(made);
    pa_stream* s = pa_stream_new(context, name.c_str(), &spec, nullptr);
    pa_stream_set_read_callback(s, drop, nullptr);
    pa_stream_set_state_callback(s, onState, nullptr);
    const auto flags = pa_stream_flags_t(PA_STREAM_FIX_FORMAT | PA_STREAM_FIX_RATE | PA_STREAM_FIX_CHANNELS |
                                         PA_STREAM_DONT_MOVE);
    const std::string& source = onState == opened ? sources[made % sources.size()] : churnSource;
    if (pa_stream_connect_record(s, source.c_str(), nullptr, flags) < 0) {
        std::fprintf(stderr, "CaptureStreams: %s\n", pa_strerror(pa_context_errno(context)));
        std::exit(1);
    }
    ++made;
    if (onState == opened) {
        ++opening;
        streams.push_back(s);
    }
}

void closeNewest()
{
    pa_stream* s = streams.back();
    streams.pop_back();
    pa_stream_set_read_callback(s, nullptr, nullptr);
    pa_stream_disconnect(s);
    pa_stream_unref(s);
}

// `done` runs once the server answered everything asked before.
void afterServer(void (*done)())
{
    pa_operation* o = pa_context_get_server_info(
        context, [](pa_context*, const pa_server_info*, void* cb) { reinterpret_cast<void (*)()>(cb)(); },
        reinterpret_cast<void*>(done));
    if (o)
        pa_operation_unref(o);
}

void closedOne()
{
    if (toClose > 0 && !streams.empty()) {
        --toClose;
        closeNewest();
        afterServer(closedOne);
        return;
    }
    report();
}

void churnStep(pa_stream* s, void*)
{
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED)
        std::exit(1);
    if (state != PA_STREAM_READY)
        return;
    pa_stream_set_state_callback(s, nullptr, nullptr);
    pa_stream_set_read_callback(s, nullptr, nullptr);
    pa_stream_disconnect(s);
    pa_stream_unref(s);
    ++churned;
    if (Clock::now() < churnUntil) {
        openOne(churnStep);
        return;
    }
    std::printf("churned %ld\n", churned);
    std::fflush(stdout);
}

void command(const std::string& line)
{
    char what[16] = {};
    long n = 0;
    char mode[64] = {};
    if (std::sscanf(line.c_str(), "%15s %ld %63s", what, &n, mode) < 2 || n <= 0)
        return;
    const bool seq = std::strcmp(mode, "seq") == 0;
    if (std::strcmp(what, "open") == 0) {
        if (seq) {
            toOpen = int(n) - 1;
            openOne(opened);
        } else {
            for (long i = 0; i < n; ++i)
                openOne(opened);
        }
    } else if (std::strcmp(what, "close") == 0) {
        if (seq) {
            toClose = int(n);
            closedOne();
        } else {
            for (long i = 0; i < n && !streams.empty(); ++i)
                closeNewest();
            afterServer(report);
        }
    } else if (std::strcmp(what, "churn") == 0) {
        churned = 0;
        churnSource = *mode ? mode : sources.front();
        churnUntil = Clock::now() + std::chrono::seconds(n);
        openOne(churnStep);
    }
}

void readInput(pa_mainloop_api* api, pa_io_event* event, int fd, pa_io_event_flags_t, void*)
{
    char buffer[256];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) {
        api->io_free(event);
        pa_mainloop_quit(loop, 0);
        return;
    }
    input.append(buffer, size_t(got));
    for (std::size_t end; (end = input.find('\n')) != std::string::npos;) {
        command(input.substr(0, end));
        input.erase(0, end + 1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        sources.emplace_back(argv[i]);
    if (sources.empty())
        return 2;
    loop = pa_mainloop_new();
    pa_mainloop_api* api = pa_mainloop_get_api(loop);
    context = pa_context_new(api, "Capture streams");
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return 1;
    while (pa_context_get_state(context) != PA_CONTEXT_READY)
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || pa_mainloop_iterate(loop, 1, nullptr) < 0)
            return 1;
    api->io_new(api, 0, PA_IO_EVENT_INPUT, readInput, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    int result = 0;
    pa_mainloop_run(loop, &result);
    return result;
}
