#include "app/ui/ConfirmationDialog.h"

#include "app/AppTheme.h"

#include <QPushButton>

QMessageBox* presentConfirmation(QWidget* parent, const QString& objectName, const QString& title,
                                 const QString& message, const QString& confirmText,
                                 std::function<void()> onConfirm, std::function<void()> onClosed)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(objectName);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(message);
    QPushButton* confirm = box->addButton(confirmText, QMessageBox::DestructiveRole);
    confirm->setObjectName(QStringLiteral("confirmRemove"));
    confirm->setAccessibleName(confirm->text());
    confirm->setStyleSheet(QStringLiteral("color: %1;").arg(SystemColor::red().name()));
    QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("confirmCancel"));
    cancel->setAccessibleName(cancel->text());
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [confirm, onConfirm, onClosed](QAbstractButton* button) {
        onClosed();
        if (button == confirm)
            onConfirm();
    });
    QObject::connect(box, &QMessageBox::finished, box, [onClosed] { onClosed(); });
    box->open();
    return box;
}
