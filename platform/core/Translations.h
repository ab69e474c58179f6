// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program's texts and Qt's own in the user's language.

#include "platform/Export.h"

#include <QString>

namespace platform {

// Once the application object exists: installs the translation of the installation (found from where this
// binary lies) and Qt's for the language gettext would choose (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG;
// none under the C locale). PEALIX_TRANSLATIONS_DIR names a folder searched first, for trying a
// translation without installing it. Returns the language loaded, empty for the English original.
PEALIX_EXPORT QString loadTranslations();

} // namespace platform
