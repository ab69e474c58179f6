// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/SilenceSource.h"

#include <QTimer>

namespace platform {

SilenceSource::SilenceSource(QObject* parent) : QObject(parent), m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    connect(m_settle, &QTimer::timeout, this, &SilenceSource::report);
}

SilenceSource::~SilenceSource() = default;

void SilenceSource::setActive(bool active)
{
    m_value = active;
    if (m_settle->isActive())
        return;
    const qint64 since = m_sinceReport.isValid() ? m_sinceReport.elapsed() : settleMs;
    if (since >= settleMs)
        report();
    else
        m_settle->start(int(settleMs - since));
}

void SilenceSource::report()
{
    if (m_value == m_reported)
        return;
    m_reported = m_value;
    m_sinceReport.restart();
    emit activeChanged(m_reported);
}

} // namespace platform
