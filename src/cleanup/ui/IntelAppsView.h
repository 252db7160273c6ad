#pragma once

#include "cleanup/IntelAppsModel.h"

#include <QHash>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <memory>

class ActivityIndicator;
class IntelAppCard;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class SectionHeader;

// The Intel-only application screen: the Rosetta 2 notice with this Mac's facts, the
// summary, the list of applications without native code, the removal choices and the log.
// Scans when first shown.
class IntelAppsView : public QWidget {
    Q_OBJECT
public:
    explicit IntelAppsView(QWidget* parent = nullptr);
    explicit IntelAppsView(std::shared_ptr<IntelAppsModel> model, QWidget* parent = nullptr);
    ~IntelAppsView() override;

    IntelAppsModel* model() const { return model_.get(); }
    SectionHeader* header() const { return header_; }
    QWidget* rosettaBanner() const { return banner_; }
    QLabel* intelCountValue() const { return intelCount_; }
    QLabel* totalSizeValue() const { return totalSize_; }
    QLabel* scannedValue() const { return scanned_; }
    QPushButton* rescanButton() const { return rescan_; }
    QStackedWidget* listStack() const { return listStack_; }
    QList<IntelAppCard*> cards() const;
    IntelAppCard* card(const QUuid& id) const { return cards_.value(id); }
    QPushButton* selectAllButton() const { return selectAll_; }
    QPushButton* deselectAllButton() const { return deselectAll_; }
    QWidget* actionBar() const { return actionBar_; }
    QCheckBox* leftoversCheckBox() const { return leftovers_; }
    QPushButton* methodButton(RemovalMethod method) const;
    QLabel* selectionLabel() const { return selection_; }
    QPushButton* removeButton() const { return remove_; }
    QWidget* logSection() const { return logSection_; }
    QPlainTextEdit* logView() const { return logView_; }
    QMessageBox* confirmationDialog() const { return dialog_; }

    // Which page the list area shows.
    enum class ListPage { scanning, nothingFound, list };
    ListPage listPage() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildBanner();
    QWidget* buildSummary();
    QWidget* buildListArea();
    QWidget* buildActionBar();
    QWidget* buildLog();
    void rebuildCards();
    void updateCard(const QUuid& id);
    void updateSummary();
    void updateListPage();
    void updateActionBar();
    void updateLog();
    void presentConfirmation();

    std::shared_ptr<IntelAppsModel> model_;
    SectionHeader* header_ = nullptr;
    QWidget* banner_ = nullptr;
    QLabel* intelCount_ = nullptr;
    QLabel* totalSize_ = nullptr;
    QLabel* scanned_ = nullptr;
    QPushButton* rescan_ = nullptr;
    ActivityIndicator* rescanIndicator_ = nullptr;
    QStackedWidget* listStack_ = nullptr;
    QWidget* cardsHost_ = nullptr;
    QVBoxLayout* cardsLayout_ = nullptr;
    QHash<QUuid, IntelAppCard*> cards_;
    QPushButton* selectAll_ = nullptr;
    QPushButton* deselectAll_ = nullptr;
    QWidget* actionBar_ = nullptr;
    QCheckBox* leftovers_ = nullptr;
    QButtonGroup* methods_ = nullptr;
    QLabel* selection_ = nullptr;
    QPushButton* remove_ = nullptr;
    ActivityIndicator* removeIndicator_ = nullptr;
    QWidget* logSection_ = nullptr;
    QPlainTextEdit* logView_ = nullptr;
    QPointer<QMessageBox> dialog_;
};
