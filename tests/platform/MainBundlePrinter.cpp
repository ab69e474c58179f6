// Helper for BundleTest: prints the main bundle's path, found without an application object.

#include "platform/bundles/Bundle.h"

#include <cstdio>

int main()
{
    std::puts(platform::Bundle::mainBundle().bundlePath().toLocal8Bit().constData());
    return 0;
}
