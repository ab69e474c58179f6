// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bundles/Bundle.h"

#include "platform/settings/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace platform {

namespace {

QString executablePath()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

// Names that would reach outside the folder they are looked up in.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains('/') && name != QStringLiteral(".") &&
           name != QStringLiteral("..");
}

} // namespace

Bundle Bundle::mainBundle()
{
    const QString overridden = qEnvironmentVariable("PEALIX_MAIN_BUNDLE");
    if (!overridden.isEmpty())
        return Bundle(overridden);
    const QFileInfo exe(executablePath());
    const QDir linuxDir = exe.absoluteDir();
    const QString contents = QFileInfo(linuxDir.absolutePath()).absolutePath();
    if (linuxDir.dirName() == QStringLiteral("Linux") &&
        QFileInfo(contents).fileName() == QStringLiteral("Contents"))
        return Bundle(QFileInfo(contents).absolutePath());
    return Bundle(linuxDir.absolutePath());
}

Bundle::Bundle(const QString& path)
    : m_path(path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath())),
      m_valid(!path.isEmpty() && QFileInfo(path).isDir())
{
}

QString Bundle::resourcePath() const
{
    if (!m_valid)
        return {};
    return m_path + QStringLiteral("/Contents/Resources");
}

QVariantMap Bundle::infoDictionary() const
{
    if (!m_infoLoaded) {
        m_infoLoaded = true;
        if (m_valid) {
            const std::optional<QVariant> root =
                PropertyList::readFile(m_path + QStringLiteral("/Contents/Info.plist"));
            if (root && root->typeId() == QMetaType::QVariantMap)
                m_info = root->toMap();
        }
    }
    return m_info;
}

QString Bundle::bundleIdentifier() const
{
    const QVariant id = infoDictionary().value(QStringLiteral("CFBundleIdentifier"));
    return id.typeId() == QMetaType::QString ? id.toString() : QString();
}

QString Bundle::pathForAuxiliaryExecutable(const QString& name) const
{
    if (!m_valid || !isPlainName(name))
        return {};
    for (const char* folder : {"/Contents/Linux/", "/Contents/Resources/"}) {
        const QString candidate = m_path + QLatin1String(folder) + name;
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

QStringList Bundle::pathsForResourcesOfType(const QString& type, const QString& subdirectory) const
{
    if (!m_valid)
        return {};
    QString folder = resourcePath();
    if (!subdirectory.isEmpty()) {
        const QString clean = QDir::cleanPath(subdirectory);
        if (clean.startsWith('/') || clean == QStringLiteral("..") || clean.startsWith(QStringLiteral("../")))
            return {};
        folder += '/' + clean;
    }
    const QString suffix = '.' + type;
    QList<QByteArray> names;
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (type.isEmpty() || (entry.size() > suffix.size() && entry.endsWith(suffix)))
            names.append(QFile::encodeName(entry));
    }
    std::sort(names.begin(), names.end());
    QStringList paths;
    paths.reserve(names.size());
    for (const QByteArray& name : names)
        paths.append(folder + '/' + QFile::decodeName(name));
    return paths;
}

} // namespace platform
