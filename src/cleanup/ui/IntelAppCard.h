#pragma once

#include "app/ui/LiquidGlassCard.h"
#include "cleanup/ArchScanner.h"

#include <QColor>
#include <QStringList>

class AppIconView;
class QCheckBox;
class QLabel;
class QToolButton;

// One entry of the Intel-only list: icon, name with its badges, version and identifier,
// size, a button that reveals the bundle, the tick, and the leftovers behind a disclosure.
class IntelAppCard : public LiquidGlassCard {
    Q_OBJECT
public:
    IntelAppCard(const IntelOnlyApp& app, bool isRunning, QWidget* parent = nullptr);

    const IntelOnlyApp& app() const { return app_; }
    // Takes the entry's current size and tick (the same entry, edited in place).
    void setApp(const IntelOnlyApp& app);
    bool isRunning() const { return isRunning_; }
    bool showLeftovers() const { return showLeftovers_; }
    void setShowLeftovers(bool show);
    QStringList leftovers() const { return leftovers_; }

    QLabel* nameLabel() const { return name_; }
    QLabel* architectureBadge() const { return archBadge_; }
    QLabel* runningBadge() const { return runningBadge_; }   // null unless running
    QLabel* detailLabel() const { return detail_; }
    QLabel* sizeLabel() const { return size_; }
    QToolButton* revealButton() const { return reveal_; }
    QCheckBox* checkBox() const { return check_; }
    QToolButton* leftoverToggle() const { return leftoverToggle_; }   // null without leftovers
    QWidget* leftoverList() const { return leftoverList_; }

    static QString sizeText(qint64 sizeMB);                 // "計測中" below 1, else "n MB"
    static QString detailText(const IntelOnlyApp& app);     // "ver 1.0  ·  com.example"
    static QString architectureText(const IntelOnlyApp& app);
    static QColor architectureColor(const IntelOnlyApp& app);
    // A small capsule of text in `color` on the colour at 18 %.
    static QLabel* badge(const QString& text, const QColor& color, QWidget* parent = nullptr);

signals:
    void selectionToggled(const QUuid& id, bool selected);

private:
    IntelOnlyApp app_;
    bool isRunning_;
    bool showLeftovers_ = false;
    QStringList leftovers_;
    AppIconView* icon_;
    QLabel* name_;
    QLabel* archBadge_;
    QLabel* runningBadge_ = nullptr;
    QLabel* detail_;
    QLabel* size_;
    QToolButton* reveal_;
    QCheckBox* check_;
    QToolButton* leftoverToggle_ = nullptr;
    QWidget* leftoverList_ = nullptr;
};
