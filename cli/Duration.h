// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The length of a pause as people write it on a command line: "30m", "1h", "2h30m", "1d", "90s".

#include <QString>
#include <QStringView>
#include <variant>

namespace Duration {

// The longest pause; beyond it, suspending until resumed says what is meant.
inline constexpr quint32 maximumSeconds = 7 * 24 * 3600;

// Seconds (1 to maximumSeconds), or a sentence saying what is wrong with the text.
std::variant<quint32, QString> parse(QStringView text);

} // namespace Duration
