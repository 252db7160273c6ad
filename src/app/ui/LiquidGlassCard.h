#pragma once

#include <QWidget>

// The one card style every panel uses: a translucent fill of similar lightness to the
// theme, a 1-point border with the white / accent / white gradient, and a soft shadow
// (black 6 %, blur 10, 4 points down). Follows ThemeManager. Put content into it with a layout:
//   auto* card = new LiquidGlassCard(16, false);
//   auto* layout = new QVBoxLayout(card); layout->addWidget(...);
class LiquidGlassCard : public QWidget {
    Q_OBJECT
public:
    explicit LiquidGlassCard(qreal cornerRadius, bool isInteractive, QWidget* parent = nullptr);
    qreal cornerRadius() const { return cornerRadius_; }
    bool isInteractive() const { return isInteractive_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    qreal cornerRadius_;
    bool isInteractive_;
    bool hovered_ = false;
};

// Wraps `content` in a card (content margins 0; the content keeps its own padding) and returns the card.
LiquidGlassCard* liquidGlassCard(QWidget* content, qreal cornerRadius, bool isInteractive, QWidget* parent = nullptr);
