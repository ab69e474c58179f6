// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Duration.h"

#include <QCoreApplication>

namespace Duration {

namespace {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(Duration)
};

QString format()
{
    return Texts::tr("Write a duration as hours and minutes, such as 30m, 1h or 2h30m.");
}

} // namespace

std::variant<quint32, QString> parse(QStringView text)
{
    if (text.isEmpty())
        return Texts::tr("The duration is empty.") + QLatin1Char(' ') + format();
    // Far longer than any duration up to the limit; nothing longer is looked at.
    if (text.size() > 32)
        return Texts::tr("The duration is too long.") + QLatin1Char(' ') + format();

    static constexpr struct {
        char unit;
        quint64 seconds;
    } units[] = {{'d', 86400}, {'h', 3600}, {'m', 60}, {'s', 1}};
    quint64 total = 0;
    qsizetype at = 0;
    std::size_t nextUnit = 0;
    while (at < text.size()) {
        quint64 number = 0;
        const qsizetype digitsFrom = at;
        while (at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9')) {
            number = number * 10 + quint64(text[at].unicode() - '0');
            if (number > maximumSeconds)
                return Texts::tr(
                    "A pause lasts at most 7 days; without a duration it lasts until you resume.");
            ++at;
        }
        if (at == digitsFrom || at == text.size())
            return Texts::tr("\"%1\" is not a duration.").arg(text.toString()) + QLatin1Char(' ') + format();
        const char unit = char(text[at].toLower().unicode());
        while (nextUnit < std::size(units) && units[nextUnit].unit != unit)
            ++nextUnit;
        if (nextUnit == std::size(units))
            return Texts::tr("\"%1\" is not a duration.").arg(text.toString()) + QLatin1Char(' ') + format();
        total += number * units[nextUnit++].seconds;
        if (total > maximumSeconds)
            return Texts::tr("A pause lasts at most 7 days; without a duration it lasts until you resume.");
        ++at;
    }
    if (total == 0)
        return Texts::tr("A pause of no time does nothing.") + QLatin1Char(' ') + format();
    return quint32(total);
}

} // namespace Duration
