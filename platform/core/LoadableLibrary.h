// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A library of this installation that a process loads only when it needs what it holds, and keeps for the
// rest of its life: the objects it makes and the libraries under it are never unloaded.

#include "platform/Export.h"

#include <QString>

namespace platform {

class PEALIX_EXPORT LoadableLibrary {
public:
    // directory/fileName; a failure, here or when an entry is missing, is logged after `unavailable`.
    LoadableLibrary(const QString& directory, const char* fileName, const QString& unavailable);

    bool isLoaded() const { return m_handle != nullptr; }
    // The entry point of that name, or none.
    template <typename Function> Function entry(const char* name) const
    {
        return reinterpret_cast<Function>(symbol(name));
    }

private:
    void* symbol(const char* name) const;

    void* m_handle = nullptr;
    QString m_unavailable;
};

} // namespace platform
