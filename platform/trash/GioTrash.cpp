// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/trash/Trash.h"

#include <gio/gio.h>

namespace platform::Trash {

bool moveToTrash(const std::string& path, std::string* error)
{
    GFile* file = g_file_new_for_path(path.c_str());
    GError* failure = nullptr;
    const bool moved = g_file_trash(file, nullptr, &failure);
    if (!moved && error)
        *error = failure ? failure->message : "cannot be moved to the trash";
    if (failure)
        g_error_free(failure);
    g_object_unref(file);
    return moved;
}

} // namespace platform::Trash
