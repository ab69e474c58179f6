#include "shared/ChimeSets.h"

#include "platform/Bundle.h"
#include "platform/PropertyList.h"

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

QVariantMap discover(const platform::Bundle& agentBundle)
{
    QVariantMap table;
    for (const QString& directory : agentBundle.pathsForResourcesOfType(extension)) {
        if (auto set = loadSet(directory))
            table.insert(set->value(setNameKey).toString(), *set);
    }
    return table;
}

QString soundPath(const QString& resourcePath, const QString& setName, const QString& fileName)
{
    return QStringLiteral("%1/%2.%3/%4").arg(resourcePath, setName, extension, fileName);
}

std::optional<double> numberValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble();
    default:
        return std::nullopt;
    }
}

QString melodyFile(const QVariantMap& set, const QVariant& minute)
{
    const auto wanted = numberValue(minute);
    if (!wanted)
        return {};
    const QVariant chimes = set.value(chimesKey);
    if (chimes.typeId() != QMetaType::QVariantList)
        return {};
    for (const QVariant& element : chimes.toList()) {
        const QVariantMap chime = element.toMap();
        if (numberValue(chime.value(minuteKey)) == wanted) {
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

QString defaultSet(const QVariantMap& setTable)
{
    if (setTable.contains(defaultSetName))
        return defaultSetName;
    return setTable.isEmpty() ? QString() : setTable.firstKey();
}

} // namespace ChimeSets
