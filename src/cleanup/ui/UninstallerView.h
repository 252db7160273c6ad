#pragma once

#include "cleanup/UninstallerModel.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class ActivityIndicator;
class AppDetailView;
class QLabel;
class QLineEdit;
class QListWidget;
class QMessageBox;
class QPushButton;
class QSplitter;
class QStackedWidget;
class SectionHeader;

// The uninstaller screen: the list of applications on the left, the chosen one with its
// leftovers and the removal on the right. Scans when shown.
class UninstallerView : public QWidget {
    Q_OBJECT
public:
    explicit UninstallerView(QWidget* parent = nullptr);
    explicit UninstallerView(std::shared_ptr<UninstallerModel> model, QWidget* parent = nullptr);
    ~UninstallerView() override;

    static constexpr int listPaneMinimumWidth = 280;

    UninstallerModel* model() const { return model_.get(); }
    SectionHeader* header() const { return header_; }
    QLineEdit* searchField() const { return search_; }
    QListWidget* list() const { return list_; }
    QPushButton* scanButton() const { return scanButton_; }
    QLabel* countLabel() const { return count_; }
    QStackedWidget* listStack() const { return listStack_; }
    QStackedWidget* detailStack() const { return detailStack_; }
    AppDetailView* detail() const { return detail_; }
    QSplitter* splitter() const { return splitter_; }
    // The confirmation dialog while it is shown.
    QMessageBox* confirmationDialog() const { return dialog_; }

    static QString countText(qsizetype count);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    void rebuildList();
    void updateScanning();
    void updateDetail();
    void updateSelectionInList();
    void presentConfirmation();

    std::shared_ptr<UninstallerModel> model_;
    SectionHeader* header_ = nullptr;
    QLineEdit* search_ = nullptr;
    QStackedWidget* listStack_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* scanButton_ = nullptr;
    ActivityIndicator* scanIndicator_ = nullptr;
    QLabel* count_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QStackedWidget* detailStack_ = nullptr;
    AppDetailView* detail_ = nullptr;
    QPointer<QMessageBox> dialog_;
    bool updatingList_ = false;
};
