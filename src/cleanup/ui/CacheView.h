#pragma once

#include "exec/ScreenLifetime.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

class CacheModel;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QGridLayout;
class SymbolView;

// The cache screen: the Touch ID card, the group grid, the summary bar and the log.
// Creates its model; showing the screen starts the appearance task (helper status, sizes),
// hiding or destroying it ends that task. Operations the user starts run to their end.
class CacheView : public QWidget {
    Q_OBJECT
public:
    explicit CacheView(QWidget* parent = nullptr);
    ~CacheView() override;

    std::shared_ptr<CacheModel> model() const { return model_; }

    QPushButton* cleanButton() const { return cleanButton_; }
    QPushButton* scanButton() const { return scanButton_; }
    QPushButton* helperButton() const { return helperButton_; }
    QLabel* helperTitleLabel() const { return helperTitle_; }
    QLabel* helperSubtitleLabel() const { return helperSubtitle_; }
    QLabel* totalLabel() const { return total_; }
    QPlainTextEdit* logView() const { return log_; }
    QList<QCheckBox*> checkBoxes() const { return checks_; }
    QList<QLabel*> sizeLabels() const { return sizes_; }
    // The open setup question, if any.
    QMessageBox* setupPrompt() const { return prompt_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildCategoryGrid(QGridLayout* grid);
    void refreshState();
    void refreshCategories();
    void refreshHelperCard();
    void askSetupQuestion();

    std::shared_ptr<CacheModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;

    SymbolView* helperSymbol_ = nullptr;
    QLabel* helperTitle_ = nullptr;
    QLabel* helperSubtitle_ = nullptr;
    QPushButton* helperButton_ = nullptr;
    QList<QWidget*> cards_;
    QList<QCheckBox*> checks_;
    QList<QLabel*> sizes_;
    QLabel* total_ = nullptr;
    QPushButton* scanButton_ = nullptr;
    QPushButton* cleanButton_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QPointer<QMessageBox> prompt_;
};
