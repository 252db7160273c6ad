#pragma once

#include <QColor>
#include <QWidget>

// The title block at the top of every screen: a 44x44 rounded square (radius 10) in the
// colour at 15 % holding the symbol at 24 points, the title (bold, second-level title size)
// and the subtitle (subheadline, secondary colour).
class SectionHeader : public QWidget {
    Q_OBJECT
public:
    SectionHeader(const QString& title, const QString& subtitle, const QString& symbol, const QColor& color,
                  QWidget* parent = nullptr);
};
