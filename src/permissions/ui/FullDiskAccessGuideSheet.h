#pragma once

#include "app/ui/ThemeStyle.h"

class PermissionManager;
class QPushButton;

// The guide shown once at start-up when Full Disk Access is missing: what the grant is for,
// three numbered steps, and two buttons that both mark the guide as seen and close it
// ("システム設定を開く" opens the settings page first). Colours follow ThemeManager.
class FullDiskAccessGuideSheet : public ThemedSheet {
    Q_OBJECT
public:
    explicit FullDiskAccessGuideSheet(PermissionManager& permissions, QWidget* parent = nullptr);

    // Opens a new sheet over `parent`'s window (window-modal; application-modal without a
    // parent) and returns at once. Closing it, by either button or otherwise, clears
    // AppState::showFullDiskAccessAlert; the sheet deletes itself.
    static FullDiskAccessGuideSheet* present(QWidget* parent, PermissionManager& permissions);

    static inline const QString title = QStringLiteral("フルディスクアクセスの設定");
    static inline const QString explanation = QStringLiteral(
        "Tessarin がシステムキャッシュやアプリ残存ファイルを完全にスキャン・クリーンアップするために"
        "「フルディスクアクセス」権限が必要です。");
    static QStringList steps();
    static constexpr int symbolFrame = 80;
    static constexpr int stepCircle = 22;

    QPushButton* laterButton() const { return laterButton_; }
    QPushButton* openSettingsButton() const { return openSettingsButton_; }

private:
    void dismiss(bool openSettings);

    PermissionManager& permissions_;
    QPushButton* laterButton_ = nullptr;
    QPushButton* openSettingsButton_ = nullptr;
};
