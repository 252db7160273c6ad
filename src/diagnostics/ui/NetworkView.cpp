#include "diagnostics/ui/NetworkView.h"

#include "app/AppTheme.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "diagnostics/NetworkModel.h"
#include "platform/Symbols.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

using ThemeStyle::Tone;

namespace {

// A titled group on a card; the caller fills the returned column below the title.
QVBoxLayout* group(QVBoxLayout* page, QWidget* parent, const QString& title, QWidget** card = nullptr)
{
    using namespace ThemeStyle;
    auto* box = new LiquidGlassCard(14, false, parent);
    QVBoxLayout* layout = column(box, 8, cardPadding);
    layout->addWidget(label(title, 13, QFont::DemiBold, Tone::primary, box));
    page->addWidget(box);
    if (card)
        *card = box;
    return layout;
}

} // namespace

NetworkView::NetworkView(QWidget* parent) : QWidget(parent), model_(std::make_shared<NetworkModel>())
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("NetworkView"));
    QVBoxLayout* layout = scrollingPage(this, QMargins(24, 20, 24, 20), 12);
    QWidget* body = layout->parentWidget();
    layout->addWidget(new SectionHeader(QStringLiteral("ネットワーク診断"), QStringLiteral("接続状態の確認・DNSフラッシュ・速度テスト"),
                                        QStringLiteral("network"), SystemColor::cyan(), body));
    layout->addWidget(buildCards(body));

    QVBoxLayout* actions = group(layout, body, QStringLiteral("クイックアクション"));
    actions->addWidget(buildActions(body));
    QVBoxLayout* ping = group(layout, body, QStringLiteral("Pingテスト"));
    ping->addWidget(buildPing(body));
    QVBoxLayout* logLayout = group(layout, body, QStringLiteral("ログ"), &logGroup_);
    log_ = ThemeStyle::logView(logGroup_);
    log_->setFixedHeight(160);
    logLayout->addWidget(log_);
    layout->addStretch(1);

    connect(model_.get(), &NetworkModel::changed, this, &NetworkView::refresh);
    refresh();
}

NetworkView::~NetworkView()
{
    appearance_.end();
}

QWidget* NetworkView::buildCards(QWidget* parent)
{
    using namespace ThemeStyle;
    auto* holder = new QWidget(parent);
    auto* grid = new QGridLayout(holder);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(10);
    const QList<NetCard> cards = model_->cards();
    for (int i = 0; i < cards.size(); ++i) {
        auto* card = new LiquidGlassCard(14, false, holder);
        QVBoxLayout* layout = column(card, 6, cardPadding);
        QHBoxLayout* heading = row(nullptr, 6);
        heading->addWidget(new SymbolView(cards[i].icon, 14, cards[i].color, card));
        heading->addWidget(label(cards[i].title, 11, QFont::Normal, Tone::secondary, card), 1);
        layout->addLayout(heading);
        QLabel* value = label(QString(), 15, QFont::DemiBold, Tone::primary, card);
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(value);
        card->setAccessibleName(cards[i].title);
        values_ << value;
        grid->addWidget(card, i / 2, i % 2);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return holder;
}

QWidget* NetworkView::buildActions(QWidget* parent)
{
    using namespace ThemeStyle;
    auto* holder = new QWidget(parent);
    QVBoxLayout* rows = column(holder, 8);
    NetworkModel* model = model_.get();
    struct ActionButton {
        QString title, icon;
        QColor color;
        std::function<void()> run;
    };
    const QList<QList<ActionButton>> table{
        {{QStringLiteral("ネット情報を更新"), QStringLiteral("arrow.clockwise"), SystemColor::blue(), [model] { model->refresh(); }},
         {QStringLiteral("DNSキャッシュをフラッシュ"), QStringLiteral("trash.fill"), SystemColor::orange(), [model] { model->flushDNS(); }},
         {QStringLiteral("Wi-Fi再接続"), QStringLiteral("wifi"), SystemColor::green(), [model] { model->reconnectWiFi(); }}},
        {{QStringLiteral("ネットワーク設定リセット"), QStringLiteral("arrow.counterclockwise"), SystemColor::red(), [model] { model->resetNetwork(); }},
         {QStringLiteral("速度テスト (curl)"), QStringLiteral("speedometer"), SystemColor::purple(), [model] { model->speedTest(); }}},
    };
    for (const QList<ActionButton>& line : table) {
        QHBoxLayout* buttons = row(nullptr, 8);
        for (const ActionButton& action : line) {
            auto* button = new QPushButton(QIcon(symbolPixmap(action.icon, 16, action.color)), action.title, holder);
            button->setAccessibleName(action.title);
            button->setCursor(Qt::PointingHandCursor);
            connect(button, &QPushButton::clicked, this, action.run);
            buttons->addWidget(button, 1);
            actions_ << button;
        }
        if (line.size() < 3)
            buttons->addStretch(1);
        rows->addLayout(buttons);
    }
    return holder;
}

QWidget* NetworkView::buildPing(QWidget* parent)
{
    auto* holder = new QWidget(parent);
    QHBoxLayout* line = ThemeStyle::row(holder, 8);
    host_ = new QLineEdit(model_->customHost(), holder);
    host_->setPlaceholderText(QStringLiteral("ホスト名 or IP"));
    host_->setAccessibleName(QStringLiteral("ホスト名 or IP"));
    line->addWidget(host_, 1);
    ping_ = new QPushButton(QStringLiteral("Ping"), holder);
    ping_->setAccessibleName(QStringLiteral("Ping"));
    ping_->setCursor(Qt::PointingHandCursor);
    ThemeStyle::makeProminent(ping_);
    line->addWidget(ping_);
    NetworkModel* model = model_.get();
    connect(host_, &QLineEdit::textChanged, this, [model](const QString& text) { model->setCustomHost(text); });
    connect(ping_, &QPushButton::clicked, this, [model] { model->ping(model->customHost()); });
    return holder;
}

void NetworkView::refresh()
{
    const NetworkModel& m = *model_;
    const QList<NetCard> cards = m.cards();
    for (int i = 0; i < cards.size() && i < values_.size(); ++i) {
        values_[i]->setText(cards[i].value);
        values_[i]->setAccessibleName(cards[i].title);
        values_[i]->setAccessibleDescription(cards[i].value);
    }
    ping_->setEnabled(!m.isRunning());
    logGroup_->setVisible(!m.log().isEmpty());
    ThemeStyle::showLog(log_, m.shownLog());
}

void NetworkView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    NetworkModel::appear(model_, appearance_.ticket());
}

void NetworkView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    appearance_.end();
    appeared_ = false;
}
