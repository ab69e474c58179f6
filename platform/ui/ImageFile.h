// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Loads an image resource, every page of it, as an icon: the stand-in for looking up a named image.
//
// QIcon(path) in Qt 6.4 reads only the first page of a TIFF (and makes libtiff log a bad-magic line
// while looking for a second); a status item image holds a 16 px and a 32 px page for dense screens.

#include "platform/Export.h"

#include <QIcon>
#include <QString>

namespace platform {

// One pixmap per readable page; a null icon when nothing can be read.
PEALIX_EXPORT QIcon iconFromImageFile(const QString& path);

} // namespace platform
