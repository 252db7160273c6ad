#include "app/ui/SectionHeader.h"

#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using ThemeStyle::Tone;

SectionHeader::SectionHeader(const QString& title, const QString& subtitle, const QString& symbol,
                             const QColor& color, QWidget* parent)
    : QWidget(parent)
{
    tile_ = new SymbolTile(symbol, color, 44, 24, 10, 0.15, this);

    title_ = ThemeStyle::label(title, ThemeStyle::TextStyle::title2, QFont::Bold, Tone::primary, this);
    title_->setObjectName(QStringLiteral("sectionHeaderTitle"));

    subtitle_ = ThemeStyle::label(subtitle, ThemeStyle::TextStyle::subheadline, QFont::Normal, Tone::secondary, this);
    subtitle_->setObjectName(QStringLiteral("sectionHeaderSubtitle"));
    subtitle_->setWordWrap(true);

    QVBoxLayout* texts = ThemeStyle::column(nullptr, 2);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);

    row_ = ThemeStyle::row(this, 12);
    row_->addWidget(tile_, 0, Qt::AlignVCenter);
    row_->addLayout(texts, 1);  // the free space after the texts

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
}

QString SectionHeader::title() const
{
    return title_->text();
}

QString SectionHeader::subtitle() const
{
    return subtitle_->text();
}

QString SectionHeader::symbol() const
{
    return tile_->symbol();
}

QColor SectionHeader::color() const
{
    return tile_->color();
}

void SectionHeader::addTrailingWidget(QWidget* widget)
{
    row_->addWidget(widget, 0, Qt::AlignVCenter);
}
