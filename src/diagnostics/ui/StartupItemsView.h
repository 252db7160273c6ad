#pragma once

#include "exec/ScreenLifetime.h"

#include <QList>
#include <QUuid>
#include <QWidget>

#include <memory>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class StartupItemsModel;

// The startup items screen: the search row with the count caption, and one section per kind
// with a switch on every row that can be switched. Showing the screen loads the list.
class StartupItemsView : public QWidget {
    Q_OBJECT
public:
    explicit StartupItemsView(QWidget* parent = nullptr);
    ~StartupItemsView() override;

    std::shared_ptr<StartupItemsModel> model() const { return model_; }
    QLineEdit* searchField() const { return search_; }
    QPushButton* reloadButton() const { return reload_; }
    QLabel* countLabel() const { return count_; }
    // The switches of the rows shown, in list order (rows without a switch have none here).
    QList<QAbstractButton*> switches() const { return switches_; }
    // The section headings shown, in order.
    QStringList sectionTitles() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void rebuildRows();

    std::shared_ptr<StartupItemsModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;

    QLineEdit* search_ = nullptr;
    QPushButton* reload_ = nullptr;
    QLabel* count_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QWidget* listHost_ = nullptr;
    QVBoxLayout* listLayout_ = nullptr;
    QWidget* rows_ = nullptr;
    QList<QAbstractButton*> switches_;
    QList<QUuid> switchIds_;
    QList<QLabel*> headings_;
    QStringList shownKey_;
};
