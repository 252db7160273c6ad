#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// The question asked before a destructive action: a window-modal warning with the action's
// button (red) and "キャンセル", which is the default and the Escape button. `onClosed` runs
// however the box closes, before `onConfirm`, which runs only for the action's button.
QMessageBox* presentConfirmation(QWidget* parent, const QString& objectName, const QString& title,
                                 const QString& message, const QString& confirmText,
                                 std::function<void()> onConfirm, std::function<void()> onClosed);
