#include "permissions/ui/FullDiskAccessGuideSheet.h"

#include "app/AppState.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SymbolView.h"
#include "permissions/PermissionManager.h"
#include "platform/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

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

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ThemeStyle::color(Tone::accent));
        painter.drawEllipse(rect());
        painter.setPen(Qt::white);
        painter.setFont(ThemeStyle::font(12, QFont::Bold));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(number_));
    }

private:
    int number_;
};

} // namespace

QStringList FullDiskAccessGuideSheet::steps()
{
    return {QStringLiteral("下のボタンを押してシステム設定を開きます"),
            QStringLiteral("「プライバシーとセキュリティ」>「フルディスクアクセス」を選択"),
            QStringLiteral("「Tessarin」をオンにして再起動してください")};
}

FullDiskAccessGuideSheet::FullDiskAccessGuideSheet(PermissionManager& permissions, QWidget* parent)
    : ThemedSheet(parent, 12), permissions_(permissions)
{
    setObjectName(QStringLiteral("fullDiskAccessGuideSheet"));
    setWindowTitle(title);
    QVBoxLayout* root = content();

    // 1. The symbol in its 80-point frame.
    auto* symbol = new SymbolView(QStringLiteral("lock.shield.fill"), symbolFrame, QColor(), this);
    symbol->setObjectName(QStringLiteral("symbol"));
    symbol->setFixedSize(symbolFrame, symbolFrame);
    symbol->setAccessibleName(title);
    ThemeStyle::onTheme(symbol, [symbol](AppTheme theme) { symbol->setColor(Theme::accentColor(theme)); });
    root->addWidget(symbol, 0, Qt::AlignHCenter);

    // 2. Title and 3. explanation.
    QLabel* heading = ThemeStyle::label(title, 22, QFont::Bold, Tone::primary, this);
    heading->setObjectName(QStringLiteral("title"));
    heading->setAlignment(Qt::AlignHCenter);
    root->addWidget(heading, 0, Qt::AlignHCenter);

    QLabel* body = ThemeStyle::label(explanation, 13, QFont::Normal, Tone::secondary, this);
    body->setObjectName(QStringLiteral("explanation"));
    body->setAlignment(Qt::AlignHCenter);
    body->setWordWrap(true);
    body->setFixedWidth(contentWidth);
    root->addWidget(body, 0, Qt::AlignHCenter);

    // 4. The numbered steps, in a card.
    auto* card = new LiquidGlassCard(12, false, this);
    card->setObjectName(QStringLiteral("stepsCard"));
    card->setFixedWidth(contentWidth);
    QVBoxLayout* rows = ThemeStyle::column(card, 10, QMargins(16, 14, 16, 14));
    const QStringList texts = steps();
    for (int i = 0; i < texts.size(); ++i) {
        QHBoxLayout* row = ThemeStyle::row(nullptr, 10);
        auto* number = new StepNumber(i + 1, card);
        number->setObjectName(QStringLiteral("stepNumber%1").arg(i + 1));
        QLabel* text = ThemeStyle::label(texts[i], 13, QFont::Normal, Tone::primary, card);
        text->setObjectName(QStringLiteral("step%1").arg(i + 1));
        text->setWordWrap(true);
        row->addWidget(number, 0, Qt::AlignVCenter);
        row->addWidget(text, 1);
        rows->addLayout(row);
    }
    root->addWidget(card, 0, Qt::AlignHCenter);
    root->addSpacing(4);

    // 5. The two buttons.
    QHBoxLayout* buttons = ThemeStyle::row(nullptr, 12);
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
    ThemeStyle::makeProminent(openSettingsButton_, QColor(), ThemeStyle::ButtonSize::large);
    // The other choice is drawn as an outline, so that the default one stands out.
    ThemeStyle::onTheme(laterButton_, [later = laterButton_](AppTheme theme) {
        later->setStyleSheet(QStringLiteral(
            "QPushButton { background-color: transparent; color: %1; border: 1px solid %2;"
            " border-radius: 8px; padding: 6px 18px; }"
            "QPushButton:hover { border-color: %3; }"
            "QPushButton:focus { border: 2px solid %3; padding: 5px 17px; }")
                                 .arg(Theme::primaryText(theme).name(), Theme::separator(theme).name(QColor::HexArgb),
                                      Theme::accentColor(theme).name()));
    });
    buttons->addStretch(1);
    buttons->addWidget(laterButton_);
    buttons->addWidget(openSettingsButton_);
    buttons->addStretch(1);
    root->addLayout(buttons);

    connect(laterButton_, &QPushButton::clicked, this, [this] { dismiss(false); });
    connect(openSettingsButton_, &QPushButton::clicked, this, [this] { dismiss(true); });
}

FullDiskAccessGuideSheet* FullDiskAccessGuideSheet::present(QWidget* parent, PermissionManager& permissions)
{
    auto* sheet = presentOver<FullDiskAccessGuideSheet>(parent, permissions);
    connect(sheet, &QDialog::finished, &AppState::shared(), [] { AppState::shared().setShowFullDiskAccessAlert(false); });
    return sheet;
}

void FullDiskAccessGuideSheet::dismiss(bool openSettings)
{
    if (openSettings)
        permissions_.openFullDiskAccessSettings();
    permissions_.setHasSeenGuide(true);
    accept();
}
