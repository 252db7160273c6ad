#include "app/ui/SectionHeader.h"

#include "app/ThemeManager.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

SectionHeader::SectionHeader(const QString& title, const QString& subtitle, const QString& symbol,
                             const QColor& color, QWidget* parent)
    : QWidget(parent)
{
    tile_ = new SymbolTile(symbol, color, 44, 24, 10, 0.15, this);

    title_ = new QLabel(title, this);
    title_->setObjectName(QStringLiteral("sectionHeaderTitle"));
    title_->setFont(ThemeStyle::font(22, QFont::Bold));
    title_->setTextFormat(Qt::PlainText);
    title_->setAccessibleName(title);

    subtitle_ = new QLabel(subtitle, this);
    subtitle_->setObjectName(QStringLiteral("sectionHeaderSubtitle"));
    subtitle_->setFont(ThemeStyle::font(13));
    subtitle_->setTextFormat(Qt::PlainText);
    subtitle_->setWordWrap(true);
    subtitle_->setAccessibleName(subtitle);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);

    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(0, 0, 0, 0);
    row_->setSpacing(12);
    row_->addWidget(tile_, 0, Qt::AlignVCenter);
    row_->addLayout(texts, 1);  // the free space after the texts

    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    applyTheme();
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
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

void SectionHeader::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    QPalette titlePalette = title_->palette();
    titlePalette.setColor(QPalette::WindowText, Theme::primaryText(theme));
    title_->setPalette(titlePalette);
    QPalette subtitlePalette = subtitle_->palette();
    subtitlePalette.setColor(QPalette::WindowText, Theme::secondaryText(theme));
    subtitle_->setPalette(subtitlePalette);
}
