#include "permissions/ui/FullDiskAccessGuideSheet.h"

#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "permissions/PermissionManager.h"
#include "platform/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int contentWidth = 420;

// A step's number in a filled circle of the accent colour.
class StepNumber final : public QWidget {
public:
    StepNumber(int number, QWidget* parent) : QWidget(parent), number_(number)
    {
        setFixedSize(FullDiskAccessGuideSheet::stepCircle, FullDiskAccessGuideSheet::stepCircle);
        setAccessibleName(QString::number(number));
    }
    void setColor(const QColor& color)
    {
        color_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color_);
        painter.drawEllipse(rect());
        painter.setPen(Qt::white);
        painter.setFont(ThemeStyle::font(12, QFont::Bold));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(number_));
    }

private:
    int number_;
    QColor color_;
};

} // namespace

QStringList FullDiskAccessGuideSheet::steps()
{
    return {QStringLiteral("下のボタンを押してシステム設定を開きます"),
            QStringLiteral("「プライバシーとセキュリティ」>「フルディスクアクセス」を選択"),
            QStringLiteral("「Tessarin」をオンにして再起動してください")};
}

FullDiskAccessGuideSheet::FullDiskAccessGuideSheet(PermissionManager& permissions, QWidget* parent)
    : QDialog(parent), permissions_(permissions)
{
    setObjectName(QStringLiteral("fullDiskAccessGuideSheet"));
    setWindowTitle(title);
    setWindowFlag(Qt::Sheet, true);
    setWindowModality(Qt::WindowModal);
    ThemeStyle::followTheme(this);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(32, 28, 32, 24);
    root->setSpacing(12);
    root->setSizeConstraint(QLayout::SetFixedSize);

    // 1. The symbol in its 80-point frame.
    symbol_ = new SymbolView(QStringLiteral("lock.shield.fill"), symbolFrame,
                             Theme::accentColor(ThemeManager::shared().currentTheme()), this);
    symbol_->setObjectName(QStringLiteral("symbol"));
    symbol_->setFixedSize(symbolFrame, symbolFrame);
    symbol_->setAccessibleName(title);
    root->addWidget(symbol_, 0, Qt::AlignHCenter);

    // 2. Title and 3. explanation.
    auto* heading = new QLabel(title, this);
    heading->setObjectName(QStringLiteral("title"));
    heading->setFont(ThemeStyle::font(22, QFont::Bold));
    heading->setAlignment(Qt::AlignHCenter);
    primaryLabels_ << heading;
    root->addWidget(heading, 0, Qt::AlignHCenter);

    auto* body = new QLabel(explanation, this);
    body->setObjectName(QStringLiteral("explanation"));
    body->setFont(ThemeStyle::font(13));
    body->setAlignment(Qt::AlignHCenter);
    body->setWordWrap(true);
    body->setFixedWidth(contentWidth);
    secondaryLabels_ << body;
    root->addWidget(body, 0, Qt::AlignHCenter);

    // 4. The numbered steps, in a card.
    auto* card = new LiquidGlassCard(12, false, this);
    card->setObjectName(QStringLiteral("stepsCard"));
    card->setFixedWidth(contentWidth);
    auto* rows = new QVBoxLayout(card);
    rows->setContentsMargins(16, 14, 16, 14);
    rows->setSpacing(10);
    const QStringList texts = steps();
    for (int i = 0; i < texts.size(); ++i) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* number = new StepNumber(i + 1, card);
        number->setObjectName(QStringLiteral("stepNumber%1").arg(i + 1));
        stepNumbers_ << number;
        auto* text = new QLabel(texts[i], card);
        text->setObjectName(QStringLiteral("step%1").arg(i + 1));
        text->setFont(ThemeStyle::font(13));
        text->setWordWrap(true);
        primaryLabels_ << text;
        row->addWidget(number, 0, Qt::AlignVCenter);
        row->addWidget(text, 1);
        rows->addLayout(row);
    }
    root->addWidget(card, 0, Qt::AlignHCenter);
    root->addSpacing(4);

    // 5. The two buttons.
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    laterButton_ = new QPushButton(QStringLiteral("後で設定"), this);
    laterButton_->setObjectName(QStringLiteral("laterButton"));
    laterButton_->setAccessibleName(laterButton_->text());
    openSettingsButton_ = new QPushButton(platform::symbolIcon(QStringLiteral("arrow.up.forward.app.fill")),
                                          QStringLiteral("システム設定を開く"), this);
    openSettingsButton_->setObjectName(QStringLiteral("openSettingsButton"));
    openSettingsButton_->setAccessibleName(openSettingsButton_->text());
    openSettingsButton_->setDefault(true);
    for (QPushButton* button : {laterButton_, openSettingsButton_}) {
        button->setCursor(Qt::PointingHandCursor);
        button->setFont(ThemeStyle::font(13, QFont::DemiBold));
        button->setMinimumWidth(150);
    }
    buttons->addStretch(1);
    buttons->addWidget(laterButton_);
    buttons->addWidget(openSettingsButton_);
    buttons->addStretch(1);
    root->addLayout(buttons);

    connect(laterButton_, &QPushButton::clicked, this, [this] { dismiss(false); });
    connect(openSettingsButton_, &QPushButton::clicked, this, [this] { dismiss(true); });

    applyTheme();
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
}

FullDiskAccessGuideSheet* FullDiskAccessGuideSheet::present(QWidget* parent, PermissionManager& permissions)
{
    QWidget* window = parent ? parent->window() : nullptr;
    auto* sheet = new FullDiskAccessGuideSheet(permissions, window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    connect(sheet, &QDialog::finished, &AppState::shared(), [] { AppState::shared().setShowFullDiskAccessAlert(false); });
    sheet->show();
    return sheet;
}

void FullDiskAccessGuideSheet::dismiss(bool openSettings)
{
    if (openSettings)
        permissions_.openFullDiskAccessSettings();
    permissions_.setHasSeenGuide(true);
    accept();
}

void FullDiskAccessGuideSheet::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const QColor accent = Theme::accentColor(theme);
    auto paint = [](QWidget* widget, QPalette::ColorRole role, const QColor& color) {
        QPalette palette = widget->palette();
        palette.setColor(role, color);
        widget->setPalette(palette);
    };
    for (QLabel* label : std::as_const(primaryLabels_))
        paint(label, QPalette::WindowText, Theme::primaryText(theme));
    for (QLabel* label : std::as_const(secondaryLabels_))
        paint(label, QPalette::WindowText, Theme::secondaryText(theme));
    for (QWidget* number : std::as_const(stepNumbers_))
        static_cast<StepNumber*>(number)->setColor(accent);
    symbol_->setColor(accent);

    openSettingsButton_->setStyleSheet(QStringLiteral(
        "QPushButton#openSettingsButton { background-color: %1; color: white; border: none; border-radius: 8px;"
        " padding: 7px 18px; }"
        "QPushButton#openSettingsButton:hover { background-color: %2; }"
        "QPushButton#openSettingsButton:pressed { background-color: %3; }"
        "QPushButton#openSettingsButton:focus { border: 2px solid %4; padding: 5px 16px; }")
                                           .arg(accent.name(), accent.lighter(110).name(), accent.darker(115).name(),
                                                accent.lighter(135).name()));
    laterButton_->setStyleSheet(QStringLiteral(
        "QPushButton#laterButton { background-color: transparent; color: %1; border: 1px solid %2;"
        " border-radius: 8px; padding: 6px 18px; }"
        "QPushButton#laterButton:hover { border-color: %3; }"
        "QPushButton#laterButton:focus { border: 2px solid %3; padding: 5px 17px; }")
                                    .arg(Theme::primaryText(theme).name(), Theme::separator(theme).name(QColor::HexArgb),
                                         accent.name()));
    update();
}

void FullDiskAccessGuideSheet::paintEvent(QPaintEvent*)
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const auto [first, second] = Theme::backgroundGradient(theme);
    QPainter painter(this);
    painter.fillRect(rect(), Theme::windowBase(theme));
    QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
    gradient.setColorAt(0, first);
    gradient.setColorAt(1, second);
    painter.fillRect(rect(), gradient);
}
