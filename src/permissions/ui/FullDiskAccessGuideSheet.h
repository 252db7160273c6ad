#pragma once

#include <QDialog>

class PermissionManager;
class QPushButton;

// The guide shown once at start-up when Full Disk Access is missing: what the grant is for,
// three numbered steps, and two buttons that both mark the guide as seen and close it.
class FullDiskAccessGuideSheet : public QDialog {
    Q_OBJECT
public:
    explicit FullDiskAccessGuideSheet(PermissionManager& permissions, QWidget* parent = nullptr);

    QPushButton* laterButton() const { return laterButton_; }
    QPushButton* openSettingsButton() const { return openSettingsButton_; }

private:
    void dismiss(bool openSettings);

    PermissionManager& permissions_;
    QPushButton* laterButton_ = nullptr;
    QPushButton* openSettingsButton_ = nullptr;
};
