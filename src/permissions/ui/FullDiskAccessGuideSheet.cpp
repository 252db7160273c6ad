#include "permissions/ui/FullDiskAccessGuideSheet.h"

#include "permissions/PermissionManager.h"

#include <QPushButton>
#include <QVBoxLayout>

FullDiskAccessGuideSheet::FullDiskAccessGuideSheet(PermissionManager& permissions, QWidget* parent)
    : QDialog(parent), permissions_(permissions)
{
    auto* layout = new QVBoxLayout(this);
    laterButton_ = new QPushButton(QStringLiteral("後で設定"), this);
    openSettingsButton_ = new QPushButton(QStringLiteral("システム設定を開く"), this);
    layout->addWidget(laterButton_);
    layout->addWidget(openSettingsButton_);
    connect(laterButton_, &QPushButton::clicked, this, [this] { dismiss(false); });
    connect(openSettingsButton_, &QPushButton::clicked, this, [this] { dismiss(true); });
}

void FullDiskAccessGuideSheet::dismiss(bool openSettings)
{
    if (openSettings)
        permissions_.openFullDiskAccessSettings();
    permissions_.setHasSeenGuide(true);
    accept();
}
