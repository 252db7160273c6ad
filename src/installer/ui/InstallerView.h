#pragma once

#include "installer/InstallerModel.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <memory>

class ActivityIndicator;
class CatalogManager;
class QGridLayout;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QProgressBar;
class QVBoxLayout;
class SectionHeader;

// One version of the grid: symbol, name, version, build and its badge; drawn in the accent
// colour while selected.
class VersionCard : public QPushButton {
    Q_OBJECT
public:
    VersionCard(const MacOSVersion& version, bool selected, QWidget* parent = nullptr);
    const MacOSVersion& version() const { return version_; }
    QString badgeText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    MacOSVersion version_;
    QLabel* badge_ = nullptr;
};

// One external disk: symbol (purple when selected), device path and size.
class DiskRow : public QPushButton {
    Q_OBJECT
public:
    DiskRow(const DiskInfo& disk, bool selected, QWidget* parent = nullptr);
    const DiskInfo& disk() const { return disk_; }

private:
    DiskInfo disk_;
};

// The "macOSインストーラー" screen: the catalog check, the version grid, the download card
// and the USB media card with their shared log.
class InstallerView : public QWidget {
    Q_OBJECT
public:
    explicit InstallerView(QWidget* parent = nullptr);
    InstallerView(std::shared_ptr<InstallerModel> model, QWidget* parent = nullptr);
    ~InstallerView() override;

    InstallerModel* model() const { return model_.get(); }
    QPushButton* refreshButton() const { return refresh_; }
    QLabel* statusLabel() const { return status_; }
    QList<VersionCard*> versionCards() const;
    QWidget* downloadCard() const { return downloadCard_; }
    QPushButton* downloadButton() const { return download_; }
    QPushButton* storeButton() const { return store_; }
    QProgressBar* progressBar() const { return progress_; }
    QPlainTextEdit* logView() const { return log_; }
    QWidget* usbCard() const { return usbCard_; }
    QList<DiskRow*> diskRows() const;
    QLabel* emptyDisksLabel() const { return emptyDisks_; }
    QPushButton* createButton() const { return create_; }
    QMessageBox* confirmationDialog() const { return dialog_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildCatalogCard();
    QWidget* buildDownloadCard();
    QWidget* buildUSBCard();
    void rebuildGrid();
    void rebuildDisks();
    void refreshState();
    void updateCreateButton();
    void updateCatalog();
    void updateDownload();
    void updateLog();
    void presentConfirmation();

    std::shared_ptr<InstallerModel> model_;
    CatalogManager& catalog_;
    SectionHeader* header_ = nullptr;

    QPushButton* refresh_ = nullptr;
    ActivityIndicator* refreshing_ = nullptr;
    QLabel* refreshingLabel_ = nullptr;
    QWidget* lastCheckRow_ = nullptr;
    QLabel* lastCheck_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* newRow_ = nullptr;

    QGridLayout* grid_ = nullptr;
    QWidget* gridHost_ = nullptr;
    QList<CatalogEntry> shownEntries_;

    QWidget* downloadCard_ = nullptr;
    QLabel* description_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* browser_ = nullptr;
    QPushButton* store_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressText_ = nullptr;
    QWidget* logCard_ = nullptr;
    QPlainTextEdit* log_ = nullptr;

    QWidget* usbCard_ = nullptr;
    QVBoxLayout* diskList_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QLabel* emptyDisks_ = nullptr;
    QPushButton* create_ = nullptr;
    QPointer<QMessageBox> dialog_;
};
