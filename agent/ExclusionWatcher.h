// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Which running processes belong to an excluded application.

#include "shared/ExcludedApplication.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <QVariantMap>

class ExclusionWatcher : public QObject {
    Q_OBJECT
public:
    explicit ExclusionWatcher(QObject* parent = nullptr);

    // Takes the list read from the settings and looks at every running process afresh.
    void setExcluded(const QList<ExcludedApplication>& excluded);
    void checkExclusionForPid(const QVariant& pid);
    void appLaunch(const QVariantMap& userInfo);
    void appTerm(const QVariantMap& userInfo);
    // The user resumed the chimes over the running ones; a later launch or read silences again. Announces
    // nothing: the caller decides anew.
    void forgetRunning() { m_runningExcluded.clear(); }

    bool isExcludedAppRunning() const { return !m_runningExcluded.isEmpty(); }
    const QSet<qint64>& runningExcluded() const { return m_runningExcluded; }
    qsizetype excludedCount() const { return m_excludedIdentifiers.size(); }

signals:
    // After every launch, termination and new list, whether or not an excluded one is running now.
    void changed();

private:
    // Excluded bundle identifiers, and the running processes that have one.
    QSet<QString> m_excludedIdentifiers;
    QSet<qint64> m_runningExcluded;
};
