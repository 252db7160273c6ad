#pragma once

#include <QString>

namespace platform {

// Moves the entry at `path` (a link as a link) into the Trash of the user whose home folder is
// `home`, under a name nothing else holds, and sets `trashedPath` to where it went. False,
// with errno set, when it could not be moved; nothing is then changed.
bool moveItemToTrash(const QString& path, const QString& home, QString* trashedPath);

} // namespace platform
