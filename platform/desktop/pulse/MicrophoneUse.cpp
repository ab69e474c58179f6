// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/MicrophoneUse.h"

#include "platform/core/ApplicationIdentity.h"

#include <QLoggingCategory>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <string_view>

#include <pulse/glib-mainloop.h>
#include <pulse/pulseaudio.h>
#include <unistd.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcMicrophone, "pealix.desktop.microphone", QtWarningMsg)

// Events come in bursts (a stream starting touches several objects): counted once after the burst, one
// count at a time. A count costs both sides in proportion to the streams, so with many of them the counts
// come less often, which bounds the CPU they take however many there are.
constexpr int recountDelayMs = 20;
constexpr int recountDelayPerStreamUs = 100;
constexpr int firstRetryMs = 1000;
constexpr int maxRetryMs = 60000;

// Level meters ask the server for peaks only, and it serves them with its peaks resampler; the other
// sound server that speaks this protocol marks them with a property instead.
bool isPeakMeter(const pa_source_output_info& info)
{
    if (info.resample_method && std::string_view(info.resample_method) == "peaks")
        return true;
    const char* flag = info.proplist ? pa_proplist_gets(info.proplist, "pulse.peak_detect") : nullptr;
    return flag && std::string_view(flag) == "true";
}

bool isOurs(const pa_source_output_info& info)
{
    const char* pid =
        info.proplist ? pa_proplist_gets(info.proplist, PA_PROP_APPLICATION_PROCESS_ID) : nullptr;
    return pid && QByteArray(pid).toLongLong() == ::getpid();
}

} // namespace

struct MicrophoneUse::Impl {
    explicit Impl(MicrophoneUse* owner) : q(owner) {}

    MicrophoneUse* q;
    pa_glib_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    QTimer recount;
    QTimer retry;
    int retryMs = firstRetryMs;
    bool complained = false;
    // A count belongs to the connection it was asked on.
    quint64 generation = 0;
    quint64 countGeneration = 0;
    bool counting = false;
    // Something changed while a count was under way.
    bool changedSince = false;
    QSet<quint32> monitors;
    int counted = 0;
    int streams = 0;

    void connectToServer()
    {
        dropContext();
        pa_proplist* props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, applicationIdentity().name.toUtf8().constData());
        context = pa_context_new_with_proplist(pa_glib_mainloop_get_api(loop), nullptr, props);
        pa_proplist_free(props);
        if (!context)
            return;
        pa_context_set_state_callback(context, &Impl::stateChanged, this);
        pa_context_set_subscribe_callback(context, &Impl::event, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            lost();
    }

    void dropContext()
    {
        if (!context)
            return;
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
        ++generation;
        counting = changedSince = false;
        recount.stop();
    }

    void lost()
    {
        if (!complained) {
            complained = true;
            qCDebug(lcMicrophone) << "No sound server; recording is not followed until one comes";
        }
        dropContext();
        streams = 0;
        q->setActive(false);
        retry.start(retryMs);
        retryMs = std::min(retryMs * 2, maxRetryMs);
    }

    static void stateChanged(pa_context* c, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY: {
            d->retryMs = firstRetryMs;
            d->complained = false;
            const auto mask =
                pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT);
            if (pa_operation* o = pa_context_subscribe(c, mask, nullptr, nullptr))
                pa_operation_unref(o);
            d->startCount();
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            // Not from inside the context's own callback.
            QTimer::singleShot(0, d->q, [d] { d->lost(); });
            pa_context_set_state_callback(c, nullptr, nullptr);
            break;
        default:
            break;
        }
    }

    static void event(pa_context*, pa_subscription_event_type_t, uint32_t, void* self)
    {
        static_cast<Impl*>(self)->changed();
    }

    void changed()
    {
        if (counting)
            changedSince = true;
        else if (!recount.isActive())
            recount.start(recountDelayMs + streams * recountDelayPerStreamUs / 1000);
    }

    // Sources first, for which are monitors, then the capture streams.
    void startCount()
    {
        if (!context || pa_context_get_state(context) != PA_CONTEXT_READY || counting)
            return;
        countGeneration = generation;
        monitors.clear();
        counted = 0;
        pa_operation* o = pa_context_get_source_info_list(context, &Impl::sourceInfo, this);
        if (!o)
            return; // the connection is failing; its state says so next
        pa_operation_unref(o);
        counting = true;
        changedSince = false;
    }

    // Every count that ends is taken: it is what the server had when it answered, and when something
    // changed meanwhile another count follows, so that a stream of events never keeps the last state out.
    void countEnded(bool complete)
    {
        counting = false;
        if (complete) {
            streams = counted;
            q->setActive(streams > 0);
        }
        // A count the server refused is not asked again until something changes.
        if (changedSince) {
            changedSince = false;
            changed();
        }
    }

    static void sourceInfo(pa_context* c, const pa_source_info* info, int eol, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        if (d->countGeneration != d->generation)
            return;
        if (!eol) {
            if (info->monitor_of_sink != PA_INVALID_INDEX)
                d->monitors.insert(info->index);
            return;
        }
        pa_operation* o = eol > 0 ? pa_context_get_source_output_info_list(c, &Impl::outputInfo, d) : nullptr;
        if (!o) {
            d->countEnded(false);
            return;
        }
        pa_operation_unref(o);
    }

    static void outputInfo(pa_context*, const pa_source_output_info* info, int eol, void* data)
    {
        auto* d = static_cast<Impl*>(data);
        if (d->countGeneration != d->generation)
            return;
        if (eol) {
            d->countEnded(eol > 0);
            return;
        }
        if (!d->monitors.contains(info->source) && !isPeakMeter(*info) && !isOurs(*info))
            ++d->counted;
    }
};

MicrophoneUse::MicrophoneUse(QObject* parent) : SilenceSource(parent), d(new Impl(this))
{
    d->loop = pa_glib_mainloop_new(nullptr);
    d->recount.setSingleShot(true);
    d->retry.setSingleShot(true);
    connect(&d->recount, &QTimer::timeout, this, [this] { d->startCount(); });
    connect(&d->retry, &QTimer::timeout, this, [this] { d->connectToServer(); });
    d->connectToServer();
}

MicrophoneUse::~MicrophoneUse()
{
    d->dropContext();
    pa_glib_mainloop_free(d->loop);
    delete d;
}

int MicrophoneUse::captureStreams() const
{
    return d->streams;
}

} // namespace platform
