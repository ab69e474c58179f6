// Helper process for PreferencesTest: sets <prefix>-0 .. <prefix>-(count-1) in a domain, one
// synchronize per key, so that two of these running at once contend for the file.

#include "platform/Preferences.h"

#include <QString>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    platform::Preferences prefs(QString::fromLocal8Bit(argv[1]));
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int count = std::atoi(argv[3]);
    // The padding makes each write take long enough for a kill to land inside one.
    const QString padding(4096, QChar('x'));
    for (int i = 0; count < 0 || i < count; ++i) {
        prefs.setValue(prefix + '-' + QString::number(count < 0 ? 0 : i), QString::number(i) + padding);
        if (!prefs.synchronize())
            return 1;
    }
    return 0;
}
