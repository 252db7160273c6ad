#pragma once

#include "exec/ScreenLifetime.h"

#include <QColor>
#include <QList>
#include <QWidget>

#include <memory>

class StorageModel;
class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;
class QGridLayout;

// The 12-point usage bar: a rounded track and a fill of the used fraction, green up to 0.85.
class UsageBar : public QWidget {
    Q_OBJECT
public:
    explicit UsageBar(QWidget* parent = nullptr);
    void setFraction(double fraction);
    double fraction() const { return fraction_; }
    QColor fillColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double fraction_ = 0;
};

// The folders as one picture of the volume: a ring of their shares in their colours, from
// twelve o'clock clockwise, over a faint track that stands for the rest of the volume.
class ShareRing : public QWidget {
    Q_OBJECT
public:
    struct Share {
        double fraction;
        QColor color;
    };
    explicit ShareRing(QWidget* parent = nullptr);
    void setShares(const QList<Share>& shares);
    QList<Share> shares() const { return shares_; }
    QSize sizeHint() const override { return {150, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<Share> shares_;
};

// The storage screen. Showing it scans once; "再スキャン" scans again.
class StorageView : public QWidget {
    Q_OBJECT
public:
    explicit StorageView(QWidget* parent = nullptr);
    ~StorageView() override;

    std::shared_ptr<StorageModel> model() const { return model_; }
    QLabel* usageLabel() const { return usage_; }
    QLabel* freeLabel() const { return free_; }
    UsageBar* bar() const { return bar_; }
    ShareRing* ring() const { return ring_; }
    QPushButton* rescanButton() const { return rescan_; }
    QList<QPushButton*> tabButtons() const { return tabs_; }
    QList<QPushButton*> revealButtons() const { return reveals_; }
    QList<QLabel*> shareLabels() const { return shareLabels_; }

    static QString usageText(double totalGB, double freeGB);
    static QString freeText(double freeGB, double usedPercent);
    static QString shareText(double sizeMB, double totalGB);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildUsageCard(QWidget* parent);
    void refresh();
    void rebuildCategories();
    void rebuildLargeFiles();

    std::shared_ptr<StorageModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;
    QLabel* usage_ = nullptr;
    QLabel* free_ = nullptr;
    UsageBar* bar_ = nullptr;
    ShareRing* ring_ = nullptr;
    QList<QPushButton*> tabs_;
    QStackedWidget* pages_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QVBoxLayout* fileList_ = nullptr;
    QPushButton* rescan_ = nullptr;
    QList<QPushButton*> reveals_;
    QList<QLabel*> shareLabels_;
};
