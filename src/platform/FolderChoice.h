#pragma once

#include "platform/Service.h"

#include <QString>

#include <functional>

class QWidget;

namespace platform {

// The open panel that picks one folder: folders only, one selection. Views call it; a test
// installs a fake that answers at once.
class FolderChoice {
public:
    virtual ~FolderChoice() = default;
    // Opens the panel over `parent`'s window starting at `startPath` and returns at once;
    // `chosen` runs with the folder's path on confirmation and never on cancel.
    virtual void chooseFolder(QWidget* parent, const QString& startPath, std::function<void(const QString&)> chosen);

    static FolderChoice& systemDefault();
    static FolderChoice& shared() { return Service<FolderChoice>::get(); }
};

} // namespace platform
