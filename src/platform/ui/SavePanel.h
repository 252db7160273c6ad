#pragma once

#include "platform/Service.h"

#include <QString>

class QWidget;

namespace platform {

// The system's save panel, run modally: returns the chosen location, or "" when the user
// cancels. Plain text is the only offered content type.
class SavePanel {
public:
    virtual ~SavePanel() = default;
    virtual QString chooseTextFile(QWidget* parent, const QString& proposedName);

    static SavePanel& systemDefault();
    static SavePanel& shared() { return Service<SavePanel>::get(); }
};

} // namespace platform
