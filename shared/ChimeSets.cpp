// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/ChimeSets.h"

#include "platform/bundles/Bundle.h"
#include "platform/settings/PropertyList.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcChimeSets, "pealix.chimesets", QtWarningMsg)

namespace ChimeSets {

std::optional<QVariantMap> loadSet(const QString& directory)
{
    const auto list = platform::PropertyList::readFile(directory + '/' + listFileName);
    if (!list || list->typeId() != QMetaType::QVariantMap) {
        // A broken set is left out without a word, like a sound that does not load.
        qCDebug(lcChimeSets) << "skipping chime set" << directory << "without a readable" << listFileName;
        return std::nullopt;
    }
    QVariantMap set = list->toMap();
    set.insert(setNameKey, QFileInfo(directory).completeBaseName());
    return set;
}

void SetTable::insert(const QVariantMap& set)
{
    const QString name = set.value(setNameKey).toString();
    if (!m_sets.contains(name))
        m_names.append(name);
    m_sets.insert(name, set);
}

SetTable discover(const platform::Bundle& agentBundle)
{
    SetTable table;
    for (const QString& directory : agentBundle.pathsForResourcesOfType(extension)) {
        if (auto set = loadSet(directory))
            table.insert(*set);
    }
    return table;
}

QString soundPath(const QString& resourcePath, const QString& setName, const QString& fileName)
{
    return QStringLiteral("%1/%2.%3/%4").arg(resourcePath, setName, extension, fileName);
}

QString melodyFile(const QVariantMap& set, const QVariant& minute)
{
    const auto wanted = platform::PropertyList::numberValue(minute);
    if (!wanted)
        return {};
    const QVariant chimes = set.value(chimesKey);
    if (chimes.typeId() != QMetaType::QVariantList)
        return {};
    for (const QVariant& element : chimes.toList()) {
        const QVariantMap chime = element.toMap();
        if (platform::PropertyList::numberValue(chime.value(minuteKey)) == wanted) {
            const QVariant file = chime.value(fileKey);
            return file.typeId() == QMetaType::QString ? file.toString() : QString();
        }
    }
    return {};
}

QString strikeFile(const QVariantMap& set)
{
    const QVariant file = set.value(singleChimeKey);
    return file.typeId() == QMetaType::QString ? file.toString() : QString();
}

QString defaultSet(const SetTable& setTable)
{
    if (setTable.contains(defaultSetName))
        return defaultSetName;
    return setTable.isEmpty() ? QString() : setTable.names().constFirst();
}

} // namespace ChimeSets
