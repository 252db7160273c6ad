#include "exec/HumanReadable.h"

#include <array>
#include <charconv>

QString humanReadable(qint64 bytes)
{
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    if (bytes >= 1024) {
        value = double(bytes) * 0.0009765625;
        unit = 1;
        while (value >= 1024.0 && unit < 4) {
            value /= 1024.0;
            ++unit;
        }
    }
    return fixedDecimal(value, 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString fixedDecimal(double value, int decimals)
{
    // printf would follow LC_NUMERIC, which QApplication sets from the user's environment, and
    // QString::number rounds halves up; to_chars rounds the exact binary value, as printf does.
    std::array<char, 400> text{};
    const std::to_chars_result end = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, decimals);
    return end.ec == std::errc() ? QString::fromLatin1(text.data(), end.ptr - text.data()) : QString::number(value, 'f', decimals);
}
