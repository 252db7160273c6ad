#pragma once

#include <QString>

// Byte count to text with 1024-steps and one decimal: "1.5 KB", "-5.0 B".
QString humanReadable(qint64 bytes);
