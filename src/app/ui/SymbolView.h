#pragma once

#include <QColor>
#include <QWidget>

// A system symbol at a fixed size in one colour (the SF Symbol look: a glyph tinted like text).
// Decorative by default: assistive tools are given no name for it, since a symbol name read
// aloud ("chevron.right") tells nothing. A symbol that means something on its own (a status, a
// warning) gets a short Japanese description, which becomes its accessible name.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    SymbolView(const QString& symbol, int pixelSize, const QColor& color, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    QColor color() const { return color_; }
    int pixelSize() const { return pixelSize_; }
    void setSymbol(const QString& symbol);
    void setColor(const QColor& color);
    void setDescription(const QString& description) { setAccessibleName(description); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString symbol_;
    int pixelSize_;
    QColor color_;
};

// A symbol centred on a rounded square filled with its colour at a low opacity
// (the icon tile of section headers and shortcut cards; a circle when the radius is half the side).
class SymbolTile : public SymbolView {
    Q_OBJECT
public:
    SymbolTile(const QString& symbol, const QColor& color, int tileSize = 44, int symbolSize = 24,
               qreal cornerRadius = 10, qreal fillOpacity = 0.15, QWidget* parent = nullptr);

    QSize sizeHint() const override { return minimumSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal cornerRadius_;
    qreal fillOpacity_;
};
