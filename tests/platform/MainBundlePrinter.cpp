// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helper for BundleTest: prints the main bundle's path, found without an application object.

#include "platform/bundles/Bundle.h"

#include <cstdio>

int main()
{
    std::puts(platform::Bundle::mainBundle().bundlePath().toLocal8Bit().constData());
    return 0;
}
