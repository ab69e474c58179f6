// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/RecordingSink.h"

#include "platform/audio/Sound.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cmath>
#include <sndfile.h>

namespace {

bool spinUntilClosed(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (platform::Sound::isOutputOpen()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

} // namespace

RecordingSink::RecordingSink(int lingerMs)
{
    spinUntilClosed(10000);
    m_hadSink = qEnvironmentVariableIsSet("PEALIX_AUDIO_SINK");
    m_savedSink = qgetenv("PEALIX_AUDIO_SINK");
    m_hadLinger = qEnvironmentVariableIsSet("PEALIX_AUDIO_LINGER_MS");
    m_savedLinger = qgetenv("PEALIX_AUDIO_LINGER_MS");
    qputenv("PEALIX_AUDIO_SINK", "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location=\"" +
                                     QFile::encodeName(path()) + "\"");
    qputenv("PEALIX_AUDIO_LINGER_MS", QByteArray::number(lingerMs));
}

RecordingSink::~RecordingSink()
{
    spinUntilClosed(10000);
    if (m_hadSink)
        qputenv("PEALIX_AUDIO_SINK", m_savedSink);
    else
        qunsetenv("PEALIX_AUDIO_SINK");
    if (m_hadLinger)
        qputenv("PEALIX_AUDIO_LINGER_MS", m_savedLinger);
    else
        qunsetenv("PEALIX_AUDIO_LINGER_MS");
}

bool RecordingSink::waitUntilWritten(int timeoutMs) const
{
    return spinUntilClosed(timeoutMs);
}

std::vector<float> RecordingSink::samples() const
{
    SF_INFO info = {};
    SNDFILE* file = sf_open(QFile::encodeName(path()).constData(), SFM_READ, &info);
    if (!file)
        return {};
    m_rate = info.samplerate;
    std::vector<float> frames(size_t(info.frames) * size_t(info.channels));
    const sf_count_t got = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> first(size_t(std::max<sf_count_t>(got, 0)));
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = frames[i * size_t(info.channels)];
    return first;
}

std::vector<RecordingSink::Region> RecordingSink::soundingRegions(const std::vector<float>& samples, int rate,
                                                                  float threshold, double mergeMs)
{
    std::vector<Region> regions;
    const auto merge = static_cast<size_t>(mergeMs * rate / 1000.0);
    size_t start = 0, last = 0;
    bool open = false;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) <= threshold)
            continue;
        if (open && i - last > merge + 1) {
            regions.push_back({start * 1000.0 / rate, (last + 1) * 1000.0 / rate});
            open = false;
        }
        if (!open) {
            start = i;
            open = true;
        }
        last = i;
    }
    if (open)
        regions.push_back({start * 1000.0 / rate, (last + 1) * 1000.0 / rate});
    return regions;
}

double RecordingSink::rms(const std::vector<float>& samples, int rate, double fromMs, double toMs)
{
    const auto from = static_cast<size_t>(std::max(0.0, fromMs) * rate / 1000.0);
    const auto to = std::min(samples.size(), static_cast<size_t>(toMs * rate / 1000.0));
    if (to <= from)
        return 0.0;
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(to - from));
}

bool writeTone(const QString& path, double frequency, double seconds, double amplitude, int rate,
               int channels)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = path.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive)
                      ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_16)
                      : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const auto total = static_cast<sf_count_t>(seconds * rate);
    std::vector<float> block(size_t(4096) * size_t(channels));
    bool ok = true;
    for (sf_count_t done = 0; done < total && ok;) {
        const sf_count_t n = std::min<sf_count_t>(4096, total - done);
        for (sf_count_t i = 0; i < n; ++i) {
            const float v = float(amplitude * std::sin(2.0 * M_PI * frequency * double(done + i) / rate));
            for (int c = 0; c < channels; ++c)
                block[size_t(i) * size_t(channels) + size_t(c)] = v;
        }
        ok = sf_writef_float(file, block.data(), n) == n;
        done += n;
    }
    sf_close(file);
    return ok;
}

// A mono 16-bit WAV: `toneMs` of a sine, then `silenceMs` of silence.
bool writeShape(const QString& path, double hz, double toneMs, double silenceMs, double amplitude)
{
    constexpr int rate = 48000;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const int toneFrames = int(toneMs * rate / 1000), frames = toneFrames + int(silenceMs * rate / 1000);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + frames * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(frames * 2);
    for (int i = 0; i < frames; ++i)
        out << qint16(i < toneFrames ? std::lround(32767 * amplitude * std::sin(2 * M_PI * hz * i / rate))
                                     : 0);
    return out.status() == QDataStream::Ok;
}
