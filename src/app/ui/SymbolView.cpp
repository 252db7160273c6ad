#include "app/ui/SymbolView.h"

#include "app/ui/ThemeStyle.h"

#include <QPainter>
#include <QPainterPath>

SymbolView::SymbolView(const QString& symbol, int pixelSize, const QColor& color, QWidget* parent)
    : QWidget(parent), symbol_(symbol), pixelSize_(pixelSize), color_(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolView::setSymbol(const QString& symbol)
{
    symbol_ = symbol;
    update();
}

void SymbolView::setColor(const QColor& color)
{
    color_ = color;
    update();
}

QSize SymbolView::sizeHint() const
{
    return {pixelSize_, pixelSize_};
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap pixmap = ThemeStyle::symbolPixmap(symbol_, pixelSize_, color_, devicePixelRatioF());
    const QPoint origin((width() - pixelSize_) / 2, (height() - pixelSize_) / 2);
    painter.drawPixmap(origin, pixmap);
}

SymbolTile::SymbolTile(const QString& symbol, const QColor& color, int tileSize, int symbolSize, qreal cornerRadius,
                       qreal fillOpacity, QWidget* parent)
    : SymbolView(symbol, symbolSize, color, parent), cornerRadius_(cornerRadius), fillOpacity_(fillOpacity)
{
    setFixedSize(tileSize, tileSize);
}

void SymbolTile::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = color();
        fill.setAlphaF(float(fillOpacity_ * fill.alphaF()));
        QPainterPath tile;
        tile.addRoundedRect(QRectF(rect()), cornerRadius_, cornerRadius_);
        painter.fillPath(tile, fill);
    }
    SymbolView::paintEvent(event);
}
