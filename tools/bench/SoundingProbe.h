// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A pass-through GStreamer element "benchprobe" for S16LE audio that stamps the wall-clock time of the
// first and the last buffer carrying sound, so a benchmark sees when audio reaches the sink.

#include <atomic>
#include <cstdint>
#include <functional>

namespace bench {

// Nanoseconds on the wall clock; firstSound is 0 until a sounding buffer passes after it was reset.
extern std::atomic<int64_t> firstSound;
extern std::atomic<int64_t> lastSound;

int64_t wallNs();
// Call once after gst_init, before a sink description names "benchprobe".
void registerSoundingProbe();
// Runs the event loop in short steps until done() or the time-out; false on time-out.
bool spinUntil(const std::function<bool()>& done, int timeoutMs);

} // namespace bench
