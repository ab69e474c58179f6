#pragma once
// One-line developer log on standard error, the stand-in for the platform log.

#include <QString>

namespace platform {

void log(const QString& message);

} // namespace platform
