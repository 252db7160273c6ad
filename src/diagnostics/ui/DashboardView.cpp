#include "diagnostics/ui/DashboardView.h"

#include "app/AppState.h"
#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "diagnostics/DashboardModel.h"
#include "permissions/PermissionManager.h"
#include "platform/Symbols.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return color;
}

// A status card: a symbol and title over a large value; what follows is the caller's.
QVBoxLayout* statusCard(QHBoxLayout* cards, const QString& symbol, const QColor& color, const QString& title,
                        QLabel** value)
{
    using namespace ThemeStyle;
    auto* card = new LiquidGlassCard(16, false);
    QVBoxLayout* layout = column(card, 8, QMargins(14, 12, 14, 12));
    QHBoxLayout* heading = row(nullptr, 6);
    heading->addWidget(new SymbolView(symbol, 16, color, card));
    heading->addWidget(label(title, 12, QFont::DemiBold, Tone::primary, card), 1);
    layout->addLayout(heading);
    *value = label(QString(), 26, QFont::Bold, Tone::primary, card);
    layout->addWidget(*value);
    cards->addWidget(card, 1);
    return layout;
}

// A quick-navigation row: pressing it opens its screen.
class ShortcutCard final : public PressableCard {
public:
    ShortcutCard(const FeatureShortcutCard& card, QWidget* parent) : PressableCard(14, parent)
    {
        setTexts(card.title, card.subtitle);
        setToolTip(card.subtitle);
        connect(this, &PressableCard::pressed, this, [action = card.action] {
            if (action)
                action();
        });
        QHBoxLayout* row = ThemeStyle::row(this, 12, QMargins(14, 10, 14, 10));
        row->addWidget(new SymbolTile(card.icon, card.color, 44, 22, 10, 0.12, this), 0, Qt::AlignVCenter);
        QVBoxLayout* texts = ThemeStyle::column(nullptr, 2);
        texts->addWidget(ThemeStyle::label(card.title, 14, QFont::DemiBold, Tone::primary, this));
        QLabel* subtitle = ThemeStyle::label(card.subtitle, 11, QFont::Normal, Tone::secondary, this);
        subtitle->setWordWrap(true);
        texts->addWidget(subtitle);
        row->addLayout(texts, 1);
        auto* chevron = new SymbolView(QStringLiteral("chevron.right"), 14, QColor(), this);
        ThemeStyle::onTheme(chevron, [chevron](AppTheme theme) { chevron->setColor(Theme::secondaryText(theme)); });
        row->addWidget(chevron, 0, Qt::AlignVCenter);
    }
};

} // namespace

// ---- the ring --------------------------------------------------------------------------

HealthRing::HealthRing(QWidget* parent) : QWidget(parent)
{
    setFixedSize(80, 80);
    ThemeStyle::onTheme(this, [this](AppTheme) { update(); });
}

void HealthRing::setScore(int score)
{
    score_ = std::clamp(score, 0, 100);
    update();
}

void HealthRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const QRectF ring = QRectF(rect()).adjusted(4, 4, -4, -4);
    QPen track(withAlpha(Theme::secondaryText(theme), 0.15), 8);
    painter.setPen(track);
    painter.drawEllipse(ring);
    QPen arc(Theme::accentColor(theme), 8, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(arc);
    // Qt measures angles counter-clockwise from three o'clock in sixteenths of a degree.
    painter.drawArc(ring, 90 * 16, -int(std::lround(score_ / 100.0 * 360 * 16)));
}

// ---- the screen ------------------------------------------------------------------------

DashboardView::DashboardView(QWidget* parent) : QWidget(parent), model_(std::make_shared<DashboardModel>())
{
    setObjectName(QStringLiteral("DashboardView"));
    QVBoxLayout* layout = ThemeStyle::scrollingPage(this, QMargins(24, 24, 24, 24), 16);
    QWidget* body = layout->parentWidget();
    layout->addWidget(buildHeader(body));
    layout->addWidget(buildFullDiskAccessCard(body));
    layout->addWidget(buildStatusCards(body));
    layout->addWidget(buildShortcuts(body));
    layout->addWidget(buildAdvice(body));
    layout->addStretch(1);

    connect(model_.get(), &DashboardModel::changed, this, &DashboardView::refresh);
    connect(&PermissionManager::shared(), &PermissionManager::hasFullDiskAccessChanged, this,
            &DashboardView::refreshPermission);
    refresh();
    refreshPermission();
    ThemeStyle::onTheme(this, [this](AppTheme) { rebuildThemeMenu(); });
}

DashboardView::~DashboardView()
{
    appearance_.end();
}

QWidget* DashboardView::buildHeader(QWidget* parent)
{
    using namespace ThemeStyle;
    auto* card = new LiquidGlassCard(18, false, parent);
    QHBoxLayout* layout = row(card, 14, QMargins(18, 16, 18, 16));
    auto* badge = new SymbolTile(QStringLiteral("sparkles"), QColor(), 72, 36, 36, 0.2, card);
    onTheme(badge, [badge](AppTheme theme) { badge->setColor(Theme::accentColor(theme)); });
    layout->addWidget(badge, 0, Qt::AlignVCenter);
    QVBoxLayout* texts = column(nullptr, 4);
    texts->addWidget(label(QStringLiteral("Mac 総合ヘルスケア"), 22, QFont::Bold, Tone::primary, card));
    QLabel* line = label(QStringLiteral("Macの状態を一目で診断・ワンクリックでかんたんメンテナンス"), 12, QFont::Normal,
                         Tone::secondary, card);
    line->setWordWrap(true);
    texts->addWidget(line);
    auto* capsule = new QLabel(QStringLiteral("2.2 “White Sorami”"), card);
    capsule->setFont(ThemeStyle::font(11, QFont::Bold));
    capsule->setContentsMargins(10, 3, 10, 3);
    onTheme(capsule, [capsule](AppTheme theme) {
        const QColor accent = Theme::accentColor(theme);
        capsule->setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; border-radius: 9px; }")
                                   .arg(withAlpha(accent, 0.15).name(QColor::HexArgb), accent.name()));
    });
    texts->addWidget(capsule, 0, Qt::AlignLeft);
    layout->addLayout(texts, 1);
    themeButton_ = new QToolButton(card);
    themeButton_->setIcon(platform::symbolIcon(QStringLiteral("paintpalette.fill")));
    themeButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    themeButton_->setPopupMode(QToolButton::InstantPopup);
    themeButton_->setMenu(new QMenu(themeButton_));
    themeButton_->setCursor(Qt::PointingHandCursor);
    layout->addWidget(themeButton_, 0, Qt::AlignTop);
    return card;
}

void DashboardView::rebuildThemeMenu()
{
    QMenu* menu = themeButton_->menu();
    menu->clear();
    const AppTheme current = ThemeManager::shared().currentTheme();
    for (AppTheme theme : Theme::allCases()) {
        QAction* action = menu->addAction(Theme::displayName(theme));
        if (theme == current)
            action->setIcon(platform::symbolIcon(QStringLiteral("checkmark")));
        connect(action, &QAction::triggered, this, [theme] { ThemeManager::shared().setCurrentTheme(theme); });
    }
    const QString name = Theme::displayName(current);
    themeButton_->setText(name);
    themeButton_->setAccessibleName(name);
}

QWidget* DashboardView::buildFullDiskAccessCard(QWidget* parent)
{
    using namespace ThemeStyle;
    fdaButton_ = new QPushButton(QStringLiteral("設定する"));
    fdaButton_->setAccessibleName(QStringLiteral("設定する"));
    makeProminent(fdaButton_, SystemColor::orange());
    fdaButton_->setCursor(Qt::PointingHandCursor);
    connect(fdaButton_, &QPushButton::clicked, this, [] { AppState::shared().setShowFullDiskAccessAlert(true); });
    auto* warning = new SymbolView(QStringLiteral("exclamationmark.shield.fill"), 28, SystemColor::orange());
    warning->setDescription(QStringLiteral("警告"));
    fdaCard_ = noticeCard(
        parent, warning,
        label(QStringLiteral("フルディスクアクセス権限が未設定です"), 14, QFont::Bold),
        label(QStringLiteral("すべてのキャッシュと残存ファイルを完全にクリーンアップするには権限が必要です。"), 11,
              QFont::Normal, Tone::secondary),
        fdaButton_);
    return fdaCard_;
}

QWidget* DashboardView::buildStatusCards(QWidget* parent)
{
    using namespace ThemeStyle;
    auto* holder = new QWidget(parent);
    QHBoxLayout* cards = row(holder, 12);

    // Condition.
    auto* condition = new LiquidGlassCard(16, false, holder);
    QVBoxLayout* c = column(condition, 6, QMargins(12, 12, 12, 12));
    c->addWidget(label(QStringLiteral("コンディション"), 12, QFont::DemiBold, Tone::secondary, condition), 0,
                 Qt::AlignHCenter);
    ring_ = new HealthRing(condition);
    QVBoxLayout* inside = column(ring_, 0);
    score_ = label(QString(), 28, QFont::Black, Tone::primary, ring_);
    score_->setAlignment(Qt::AlignCenter);
    QLabel* unit = label(QStringLiteral("点"), 10, QFont::Normal, Tone::primary, ring_);
    unit->setAlignment(Qt::AlignCenter);
    inside->addStretch(1);
    inside->addWidget(score_);
    inside->addWidget(unit);
    inside->addStretch(1);
    c->addWidget(ring_, 0, Qt::AlignHCenter);
    health_ = label(QString(), 12, QFont::DemiBold, Tone::accent, condition);
    health_->setAlignment(Qt::AlignCenter);
    c->addWidget(health_);
    c->addStretch(1);
    cards->addWidget(condition, 1);

    // Storage.
    QVBoxLayout* storage = statusCard(cards, QStringLiteral("internaldrive.fill"), SystemColor::green(),
                                      QStringLiteral("ストレージ空き容量"), &diskFree_);
    QLabel* storageNote = label(QStringLiteral("不要なファイルを見つけて容量を確保できます"), 11, QFont::Normal,
                                Tone::secondary);
    storageNote->setWordWrap(true);
    storage->addWidget(storageNote);
    storage->addStretch(1);

    // Removable data.
    QVBoxLayout* junk = statusCard(cards, QStringLiteral("trash.fill"), SystemColor::orange(),
                                   QStringLiteral("削除可能な一時データ"), &junk_);
    optimize_ = new QPushButton(platform::symbolIcon(QStringLiteral("bolt.fill")), QString());
    optimize_->setCursor(Qt::PointingHandCursor);
    makeProminent(optimize_);
    junk->addWidget(optimize_);
    junk->addStretch(1);

    DashboardModel* model = model_.get();
    connect(optimize_, &QPushButton::clicked, this, [model] { model->quickOptimize(); });
    return holder;
}

QWidget* DashboardView::buildShortcuts(QWidget* parent)
{
    auto* holder = new LiquidGlassCard(16, false, parent);
    QVBoxLayout* v = ThemeStyle::column(holder, 10, QMargins(16, 14, 16, 16));
    v->addWidget(ThemeStyle::label(QStringLiteral("クイックナビゲーション"), 16, QFont::Bold, Tone::primary, holder));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const QList<FeatureShortcutCard> cards = DashboardModel::shortcuts();
    for (int i = 0; i < cards.size(); ++i) {
        auto* card = new ShortcutCard(cards[i], holder);
        grid->addWidget(card, i / 2, i % 2);
        shortcuts_ << card;
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    v->addLayout(grid);
    return holder;
}

QWidget* DashboardView::buildAdvice(QWidget* parent)
{
    using namespace ThemeStyle;
    auto* card = new LiquidGlassCard(16, false, parent);
    QHBoxLayout* layout = row(card, 14, QMargins(16, 14, 16, 14));
    layout->addWidget(label(QStringLiteral("🌸"), 30, QFont::Normal, Tone::primary, card), 0, Qt::AlignTop);
    QVBoxLayout* texts = column(nullptr, 4);
    texts->addWidget(label(QStringLiteral("白そらみ嬢のワンポイントアドバイス"), 14, QFont::Bold, Tone::primary, card));
    QLabel* advice = label(QStringLiteral("Mac を長く快適に使うコツは、週に1回のキャッシュ掃除と、不要になったアプリの残存ファイル削除だよ！今日もばっちりお手当するね！"),
                           12, QFont::Normal, Tone::primary, card);
    advice->setWordWrap(true);
    texts->addWidget(advice);
    layout->addLayout(texts, 1);
    return card;
}

void DashboardView::refresh()
{
    const DashboardModel& m = *model_;
    ring_->setScore(m.healthScore());
    score_->setText(QString::number(m.healthScore()));
    health_->setText(DashboardModel::healthLabel(m.healthScore()));
    diskFree_->setText(m.diskFreeGB());
    junk_->setText(m.junkText());
    const QString title = m.isOptimizing() ? QStringLiteral("最適化中…") : QStringLiteral("ワンクリック快適化");
    optimize_->setText(title);
    optimize_->setAccessibleName(title);
    optimize_->setEnabled(m.canOptimize());
}

void DashboardView::refreshPermission()
{
    fdaCard_->setVisible(!PermissionManager::shared().hasFullDiskAccess());
}

void DashboardView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    DashboardModel::appear(model_, appearance_.ticket());
}

void DashboardView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    appearance_.end();
    appeared_ = false;
}
