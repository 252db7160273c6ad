#pragma once

#include <QString>

// Byte count to text with 1024-steps and one decimal: "1.5 KB", "-5.0 B".
QString humanReadable(qint64 bytes);

// `value` with exactly `decimals` decimals, rounded as C's "%.*f" rounds (a value exactly half way
// goes to the even digit: 1.25 gives "1.2"), with a decimal point whatever the locale.
QString fixedDecimal(double value, int decimals);
