// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Answers the 'core' events on login items ('logi') from the autostart store: the properties of every
// item, creating one at the end of the list, and deleting one by its number.

#include "XdgAutostartStore.h"
#include "platform/appleevents/AppleEvent.h"

constexpr platform::OSErr fnfErr = -43;
constexpr platform::OSErr ioErr = -36;
constexpr platform::OSErr errAENoSuchObject = -1728;
// An item of another program: we may list it but not delete it.
constexpr platform::OSErr errAEPrivilegeError = -10004;

class LoginItemService {
public:
    explicit LoginItemService(XdgAutostartStore* store) : m_store(store) {}

    platform::OSErr handle(const platform::AppleEvent& event, platform::AppleEvent* reply);

private:
    platform::OSErr getProperties(const platform::AppleEvent& event, platform::AppleEvent* reply);
    platform::OSErr create(const platform::AppleEvent& event, platform::AppleEvent* reply);
    platform::OSErr remove(const platform::AppleEvent& event);

    XdgAutostartStore* m_store;
};
