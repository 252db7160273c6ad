#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QPointF>
#include <QWidget>

// The one card style every panel uses: a translucent fill of similar lightness to the
// theme, a 1-point border with the white / accent / white gradient, and a soft shadow
// (black 6 %, blur 10, 4 points down). Follows ThemeManager. Put content into it with a layout:
//   auto* card = new LiquidGlassCard(16, false);
//   auto* layout = new QVBoxLayout(card); layout->addWidget(...);
//
// The shadow is painted inside the widget: the card keeps contents margins around its body
// (see shadowMargins()), so a layout set on the card starts at the body's edge and the card
// body is that much smaller than the widget.
class LiquidGlassCard : public QWidget {
    Q_OBJECT
public:
    explicit LiquidGlassCard(qreal cornerRadius, bool isInteractive, QWidget* parent = nullptr);
    qreal cornerRadius() const { return cornerRadius_; }
    bool isInteractive() const { return isInteractive_; }

    // A different shadow for cards that float (the banner). Updates the margins.
    void setShadow(const QColor& color, qreal blurRadius, QPointF offset);
    QColor shadowColor() const { return shadowColor_; }
    qreal shadowBlurRadius() const { return shadowBlur_; }
    QPointF shadowOffset() const { return shadowOffset_; }

    // For cards that float over other content (the banner): the fill gets an almost opaque
    // backing in the theme's window colour, standing in for the blur of a real material so
    // that text passing underneath does not show through.
    void setFrosted(bool frosted);
    bool isFrosted() const { return frosted_; }

    // Room kept around the card body for the shadow.
    QMargins shadowMargins() const { return shadowMargins(shadowBlur_, shadowOffset_); }
    static QMargins shadowMargins(qreal blurRadius, QPointF offset);
    // The card body (the rounded rectangle) in widget coordinates.
    QRectF cardRect() const;

    // The card's fill colour for a theme (a translucent colour of the theme's lightness).
    static QColor fillColor(bool darkTheme, bool hovered);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintShadow(QPainter& painter);

    qreal cornerRadius_;
    bool isInteractive_;
    bool hovered_ = false;
    bool frosted_ = false;
    QColor shadowColor_ = QColor(0, 0, 0, 15);   // 6 %
    qreal shadowBlur_ = 10;
    QPointF shadowOffset_ = QPointF(0, 4);
    QImage shadowCache_;
};

// A card pressed as a whole (a shortcut, a list row). To the keyboard and to assistive tools it is
// a button: named by its title, described by its subtitle, pressed by a click, Space, Return or
// the tools' press action; while it has the keyboard focus the kit draws a ring in the theme's
// accent. A card whose own control (a check box inside) takes the focus sets Qt::NoFocus.
class PressableCard : public LiquidGlassCard {
    Q_OBJECT
public:
    explicit PressableCard(qreal cornerRadius, QWidget* parent = nullptr);
    void setTexts(const QString& title, const QString& subtitle);
    void press() { emit pressed(); }

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// Wraps `content` in a card (content margins 0; the content keeps its own padding) and returns the card.
LiquidGlassCard* liquidGlassCard(QWidget* content, qreal cornerRadius, bool isInteractive, QWidget* parent = nullptr);
