#pragma once

#include <QString>

#include <optional>

namespace Shell {

// A whole number in a command's trimmed output, as the screens read counts and sizes:
// an optional sign and digits only; anything else (empty, "abc", "12.5") gives none.
std::optional<qint64> parseInteger(const QString& output);

} // namespace Shell
