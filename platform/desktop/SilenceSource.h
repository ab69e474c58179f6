// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One reason the desktop gives for quiet (Do Not Disturb, a locked screen, …), followed by signals.
//
// A source that flaps reports at most once per settleMs, and always settles on its last value: the
// first change after a calm period is reported at once.

#include "platform/Export.h"

#include <QElapsedTimer>
#include <QObject>

class QTimer;

namespace platform {

class PEALIX_EXPORT SilenceSource : public QObject {
    Q_OBJECT
public:
    static constexpr int settleMs = 50;

    ~SilenceSource() override;
    // As last reported.
    bool isActive() const { return m_reported; }

signals:
    void activeChanged(bool active);

protected:
    explicit SilenceSource(QObject* parent = nullptr);
    void setActive(bool active);

private:
    void report();

    bool m_value = false;
    bool m_reported = false;
    QElapsedTimer m_sinceReport;
    QTimer* m_settle = nullptr;
};

} // namespace platform
