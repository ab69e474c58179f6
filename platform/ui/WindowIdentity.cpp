// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/WindowIdentity.h"
#include "platform/core/ApplicationIdentity.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QMap>
#include <QPainter>
#include <QPixmap>
#include <dlfcn.h>

namespace platform {

namespace {

const int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The bell's PNG files, each read when a window first asks for its size. QIcon::addFile reads each file
// at once to guess its format, which loads every image plug-in installed (and the libraries behind
// them) into a process that may never show a window.
class BellIconEngine : public QIconEngine {
public:
    explicit BellIconEngine(QMap<int, QString> files) : m_files(std::move(files)) {}

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = sideFor(size);
        return side == 0 ? QSize() : QSize(side, side).scaled(size, Qt::KeepAspectRatio);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = sideFor(size);
        if (side == 0)
            return {};
        QPixmap& cached = m_read[side];
        if (cached.isNull()) {
            QImageReader reader(m_files.value(side), "png");
            reader.setAutoDetectImageFormat(false);
            cached = QPixmap::fromImage(reader.read());
        }
        return cached.isNull() || cached.size() == size
                   ? cached
                   : cached.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap image = pixmap(rect.size(), mode, state);
        if (!image.isNull())
            painter->drawPixmap(rect, image);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (auto it = m_files.keyBegin(); it != m_files.keyEnd(); ++it)
            sizes.append(QSize(*it, *it));
        return sizes;
    }
    bool isNull() override { return m_files.isEmpty(); }
    QString key() const override { return QStringLiteral("PealixBell"); }
    QIconEngine* clone() const override { return new BellIconEngine(m_files); }

private:
    // The smallest side that covers the size asked for, else the largest.
    int sideFor(const QSize& size) const
    {
        if (m_files.isEmpty())
            return 0;
        const auto it = m_files.lowerBound(qMax(size.width(), size.height()));
        return it == m_files.end() ? m_files.lastKey() : it.key();
    }

    QMap<int, QString> m_files;
    QMap<int, QPixmap> m_read;
};

} // namespace

QString applicationIdentifier()
{
    // The product's programs set it; the platform's own programs show the product they were built for.
    const QString set = applicationIdentity().iconName;
    return set.isEmpty() ? QStringLiteral(PEALIX_APP_ID) : set;
}

QString installationPrefix()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&installationPrefix), &info) == 0 || !info.dli_fname)
        return {};
    const QString library = QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath();
    if (library.isEmpty())
        return {};
    // The library lies in <prefix>/PEALIX_PROGRAMS_DIR, however many folders deep that is.
    const QString programsDir = QStringLiteral(PEALIX_PROGRAMS_DIR);
    QString up;
    for (int level = 0; level <= int(programsDir.count(QLatin1Char('/'))); ++level)
        up += QStringLiteral("/..");
    return QDir::cleanPath(QFileInfo(library).absolutePath() + up);
}

QIcon applicationIcon()
{
    QMap<int, QString> files;
    const QString hicolor = installationPrefix() + QStringLiteral("/share/icons/hicolor/");
    for (const int size : iconSizes) {
        const QString file =
            hicolor + QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(applicationIdentifier());
        if (QFileInfo(file).isFile())
            files.insert(size, file);
    }
    return files.isEmpty() ? QIcon::fromTheme(applicationIdentifier()) : QIcon(new BellIconEngine(files));
}

void adoptApplicationIdentity()
{
    const QString name = applicationIdentity().iconName.isEmpty() ? QStringLiteral(PEALIX_PRODUCT_NAME)
                                                                  : applicationIdentity().name;
    QCoreApplication::setApplicationName(name);
    QGuiApplication::setDesktopFileName(applicationIdentifier());
    QGuiApplication::setWindowIcon(applicationIcon());
}

} // namespace platform
