#include "exec/HumanReadable.h"

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
    // QString::number always uses "." as the decimal point; printf would follow LC_NUMERIC,
    // which QApplication sets from the user's environment.
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}
