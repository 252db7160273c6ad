#include "app/ui/ToastView.h"

#include "app/ThemeManager.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"

#include <QHBoxLayout>
#include <QLabel>

ToastView::ToastView(QWidget* parent) : LiquidGlassCard(12, false, parent)
{
    setShadow(QColor(0, 0, 0, 84), 12, QPointF(0, 6));  // 33 %
    setFrosted(true);

    symbol_ = new SymbolView(QStringLiteral("checkmark.circle.fill"), 15, Theme::accentColor(AppTheme::whiteSorami), this);
    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("toastMessage"));
    label_->setFont(ThemeStyle::font(13, QFont::Medium));
    label_->setTextFormat(Qt::PlainText);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(8);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addWidget(label_, 0, Qt::AlignVCenter);
    row->setSizeConstraint(QLayout::SetFixedSize);

    setAttribute(Qt::WA_TransparentForMouseEvents);
    applyTheme();
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
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

QString ToastView::message() const
{
    return label_->text();
}

void ToastView::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    symbol_->setSymbol(isError_ ? QStringLiteral("xmark.circle.fill") : QStringLiteral("checkmark.circle.fill"));
    symbol_->setColor(isError_ ? SystemColor::red() : Theme::accentColor(theme));
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, Theme::primaryText(theme));
    label_->setPalette(palette);
}
