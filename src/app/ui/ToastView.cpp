#include "app/ui/ToastView.h"

#include "app/ThemeManager.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QLabel>

using ThemeStyle::Tone;

ToastView::ToastView(QWidget* parent) : LiquidGlassCard(12, false, parent)
{
    setShadow(QColor(0, 0, 0, 84), 12, QPointF(0, 6));  // 33 %
    setFrosted(true);

    symbol_ = new SymbolView(QStringLiteral("checkmark.circle.fill"), 15, Theme::accentColor(AppTheme::whiteSorami), this);
    label_ = ThemeStyle::label(QString(), 13, QFont::Medium, Tone::primary, this);
    label_->setObjectName(QStringLiteral("toastMessage"));

    QHBoxLayout* row = ThemeStyle::row(this, 8, QMargins(16, 10, 16, 10));
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addWidget(label_, 0, Qt::AlignVCenter);
    row->setSizeConstraint(QLayout::SetFixedSize);

    setAttribute(Qt::WA_TransparentForMouseEvents);
    ThemeStyle::onTheme(this, [this](AppTheme) { applyTheme(); });
}

void ToastView::setMessage(const QString& message, bool isError)
{
    isError_ = isError;
    label_->setText(message);
    setAccessibleName(message);
    // Outcomes are one line; an unusually long one (a command's error text) wraps instead
    // of running off the window.
    const QFontMetrics metrics(label_->font());
    const int natural = metrics.horizontalAdvance(message);
    const bool wraps = natural > maximumTextWidth;
    label_->setWordWrap(wraps);
    const QRect bounds = wraps ? metrics.boundingRect(QRect(0, 0, maximumTextWidth, 100000), Qt::TextWordWrap, message)
                               : QRect(0, 0, natural, metrics.height());
    label_->setFixedSize(bounds.width() + 1, qMax(bounds.height(), metrics.height()));
    applyTheme();
}

void ToastView::announce()
{
    QAccessibleEvent event(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

QString ToastView::message() const
{
    return label_->text();
}

void ToastView::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    symbol_->setSymbol(isError_ ? QStringLiteral("xmark.circle.fill") : QStringLiteral("checkmark.circle.fill"));
    symbol_->setColor(isError_ ? SystemColor::red() : Theme::accentColor(theme));
    symbol_->setDescription(isError_ ? QStringLiteral("エラー") : QStringLiteral("完了"));
}
