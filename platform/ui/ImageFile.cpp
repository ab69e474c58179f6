// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/ui/ImageFile.h"

#include <QImageReader>
#include <QPixmap>

namespace platform {

QIcon iconFromImageFile(const QString& path)
{
    QIcon icon;
    QImageReader reader(path);
    const int pages = qMax(1, reader.imageCount());
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !reader.jumpToImage(page))
            break;
        const QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace platform
