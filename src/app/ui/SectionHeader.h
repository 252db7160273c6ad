#pragma once

#include <QColor>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class SymbolTile;

// The title block at the top of every screen: a 44x44 rounded square (radius 10) in the
// colour at 15 % holding the symbol at 24 points, the title (bold, second-level title size)
// and the subtitle (subheadline, secondary colour). Text colours follow the theme.
class SectionHeader : public QWidget {
    Q_OBJECT
public:
    SectionHeader(const QString& title, const QString& subtitle, const QString& symbol, const QColor& color,
                  QWidget* parent = nullptr);

    QString title() const;
    QString subtitle() const;
    QString symbol() const;
    QColor color() const;

    QLabel* titleLabel() const { return title_; }
    QLabel* subtitleLabel() const { return subtitle_; }
    SymbolTile* symbolTile() const { return tile_; }

    // Puts a control at the trailing edge, after the free space (e.g. a "save" button).
    void addTrailingWidget(QWidget* widget);

private:
    SymbolTile* tile_;
    QLabel* title_;
    QLabel* subtitle_;
    QHBoxLayout* row_;
};
