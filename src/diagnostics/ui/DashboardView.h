#pragma once

#include "exec/ScreenLifetime.h"

#include <QList>
#include <QWidget>

#include <memory>

class DashboardModel;
class QLabel;
class QPushButton;
class QToolButton;

// The ring of the condition card: a track and an arc of score/100 from twelve o'clock, clockwise.
class HealthRing : public QWidget {
    Q_OBJECT
public:
    explicit HealthRing(QWidget* parent = nullptr);
    void setScore(int score);
    int score() const { return score_; }
    QSize sizeHint() const override { return {80, 80}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int score_ = 0;
};

// The dashboard screen. Creates its model; showing the screen runs one quick scan bound to it.
class DashboardView : public QWidget {
    Q_OBJECT
public:
    explicit DashboardView(QWidget* parent = nullptr);
    ~DashboardView() override;

    std::shared_ptr<DashboardModel> model() const { return model_; }

    QToolButton* themeButton() const { return themeButton_; }
    QWidget* fullDiskAccessCard() const { return fdaCard_; }
    QPushButton* fullDiskAccessButton() const { return fdaButton_; }
    HealthRing* ring() const { return ring_; }
    QLabel* scoreLabel() const { return score_; }
    QLabel* healthLabel() const { return health_; }
    QLabel* diskFreeLabel() const { return diskFree_; }
    QLabel* junkLabel() const { return junk_; }
    QPushButton* optimizeButton() const { return optimize_; }
    QList<QWidget*> shortcutCards() const { return shortcuts_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildHeader(QWidget* parent);
    QWidget* buildFullDiskAccessCard(QWidget* parent);
    QWidget* buildStatusCards(QWidget* parent);
    QWidget* buildShortcuts(QWidget* parent);
    QWidget* buildAdvice(QWidget* parent);
    void refresh();
    void refreshPermission();
    void rebuildThemeMenu();

    std::shared_ptr<DashboardModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;

    QToolButton* themeButton_ = nullptr;
    QWidget* fdaCard_ = nullptr;
    QPushButton* fdaButton_ = nullptr;
    HealthRing* ring_ = nullptr;
    QLabel* score_ = nullptr;
    QLabel* health_ = nullptr;
    QLabel* diskFree_ = nullptr;
    QLabel* junk_ = nullptr;
    QPushButton* optimize_ = nullptr;
    QList<QWidget*> shortcuts_;
};
