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
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* label(const QString& text, int size, QFont::Weight weight, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(ThemeStyle::font(size, weight));
    return l;
}

QString prominentStyle(const QColor& color)
{
    return QStringLiteral("QPushButton { background-color: %1; color: white; border: none; border-radius: 7px;"
                          " padding: 6px 14px; font-weight: 600; }"
                          "QPushButton:disabled { background-color: %2; color: rgba(255,255,255,170); }")
        .arg(color.name(), QColor(color.red(), color.green(), color.blue(), 110).name(QColor::HexArgb));
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return color;
}

// A filled circle in a colour holding a symbol (the header's badge).
class Badge final : public QWidget {
public:
    Badge(const QString& symbol, int diameter, QWidget* parent) : QWidget(parent), symbol_(symbol)
    {
        setFixedSize(diameter, diameter);
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
        painter.setBrush(withAlpha(color_, 0.2));
        painter.drawEllipse(rect());
        const int glyph = width() / 2;
        const QPixmap pixmap = ThemeStyle::symbolPixmap(symbol_, glyph, color_, devicePixelRatioF());
        painter.drawPixmap(QRect((width() - glyph) / 2, (height() - glyph) / 2, glyph, glyph), pixmap);
    }

private:
    QString symbol_;
    QColor color_;
};

// A tappable quick-navigation row.
class ShortcutCard final : public LiquidGlassCard {
public:
    ShortcutCard(const FeatureShortcutCard& card, QWidget* parent) : LiquidGlassCard(14, true, parent), action_(card.action)
    {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(card.title);
        setAccessibleDescription(card.subtitle);
        setToolTip(card.subtitle);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(14, 10, 14, 10);
        row->setSpacing(12);
        row->addWidget(new SymbolTile(card.icon, card.color, 44, 22, 10, 0.12, this), 0, Qt::AlignVCenter);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(label(card.title, 14, QFont::DemiBold, this));
        subtitle_ = label(card.subtitle, 11, QFont::Normal, this);
        subtitle_->setWordWrap(true);
        texts->addWidget(subtitle_);
        row->addLayout(texts, 1);
        chevron_ = new SymbolView(QStringLiteral("chevron.right"), 14, Qt::gray, this);
        row->addWidget(chevron_, 0, Qt::AlignVCenter);
    }
    QLabel* subtitle() const { return subtitle_; }
    SymbolView* chevron() const { return chevron_; }
    void trigger()
    {
        if (action_)
            action_();
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            trigger();
        LiquidGlassCard::mouseReleaseEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            trigger();
        else
            LiquidGlassCard::keyPressEvent(event);
    }

private:
    std::function<void()> action_;
    QLabel* subtitle_ = nullptr;
    SymbolView* chevron_ = nullptr;
};

} // namespace

// ---- the ring --------------------------------------------------------------------------

HealthRing::HealthRing(QWidget* parent) : QWidget(parent)
{
    setFixedSize(80, 80);
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
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* body = new QWidget(scroll);
    body->setAutoFillBackground(false);
    scroll->setWidget(body);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(16);
    layout->addWidget(buildHeader(body));
    layout->addWidget(buildFullDiskAccessCard(body));
    layout->addWidget(buildStatusCards(body));
    layout->addWidget(buildShortcuts(body));
    layout->addWidget(buildAdvice(body));
    layout->addStretch(1);

    connect(model_.get(), &DashboardModel::changed, this, &DashboardView::refresh);
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, &DashboardView::applyTheme);
    connect(&PermissionManager::shared(), &PermissionManager::hasFullDiskAccessChanged, this,
            &DashboardView::refreshPermission);
    refresh();
    refreshPermission();
    applyTheme();
}

DashboardView::~DashboardView()
{
    appearance_.end();
}

QWidget* DashboardView::buildHeader(QWidget* parent)
{
    auto* card = new LiquidGlassCard(18, false, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(18, 16, 18, 16);
    row->setSpacing(14);
    auto* badge = new Badge(QStringLiteral("sparkles"), 72, card);
    headerCircle_ = badge;
    row->addWidget(badge, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(label(QStringLiteral("Mac 総合ヘルスケア"), 22, QFont::Bold, card));
    auto* line = label(QStringLiteral("Macの状態を一目で診断・ワンクリックでかんたんメンテナンス"), 12, QFont::Normal, card);
    line->setWordWrap(true);
    secondaryLabels_ << line;
    texts->addWidget(line);
    capsule_ = label(QStringLiteral("2.2 “White Sorami”"), 11, QFont::Bold, card);
    capsule_->setContentsMargins(10, 3, 10, 3);
    texts->addWidget(capsule_, 0, Qt::AlignLeft);
    row->addLayout(texts, 1);
    themeButton_ = new QToolButton(card);
    themeButton_->setIcon(platform::symbolIcon(QStringLiteral("paintpalette.fill")));
    themeButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    themeButton_->setPopupMode(QToolButton::InstantPopup);
    themeButton_->setMenu(new QMenu(themeButton_));
    themeButton_->setCursor(Qt::PointingHandCursor);
    row->addWidget(themeButton_, 0, Qt::AlignTop);
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
    auto* card = new LiquidGlassCard(14, false, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);
    row->addWidget(new SymbolView(QStringLiteral("exclamationmark.shield.fill"), 28, SystemColor::orange(), card), 0,
                   Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(label(QStringLiteral("フルディスクアクセス権限が未設定です"), 14, QFont::Bold, card));
    auto* detail = label(QStringLiteral("すべてのキャッシュと残存ファイルを完全にクリーンアップするには権限が必要です。"), 11,
                         QFont::Normal, card);
    detail->setWordWrap(true);
    secondaryLabels_ << detail;
    texts->addWidget(detail);
    row->addLayout(texts, 1);
    fdaButton_ = new QPushButton(QStringLiteral("設定する"), card);
    fdaButton_->setAccessibleName(QStringLiteral("設定する"));
    fdaButton_->setStyleSheet(prominentStyle(SystemColor::orange()));
    fdaButton_->setCursor(Qt::PointingHandCursor);
    row->addWidget(fdaButton_, 0, Qt::AlignVCenter);
    connect(fdaButton_, &QPushButton::clicked, this, [] { AppState::shared().setShowFullDiskAccessAlert(true); });
    fdaCard_ = card;
    return card;
}

QWidget* DashboardView::buildStatusCards(QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    // Condition.
    auto* condition = new LiquidGlassCard(16, false, holder);
    auto* c = new QVBoxLayout(condition);
    c->setContentsMargins(12, 12, 12, 12);
    c->setSpacing(6);
    auto* caption = label(QStringLiteral("コンディション"), 12, QFont::DemiBold, condition);
    secondaryLabels_ << caption;
    c->addWidget(caption, 0, Qt::AlignHCenter);
    ring_ = new HealthRing(condition);
    auto* inside = new QVBoxLayout(ring_);
    inside->setContentsMargins(0, 0, 0, 0);
    inside->setSpacing(0);
    score_ = label(QString(), 28, QFont::Black, ring_);
    score_->setAlignment(Qt::AlignCenter);
    auto* unit = label(QStringLiteral("点"), 10, QFont::Normal, ring_);
    unit->setAlignment(Qt::AlignCenter);
    inside->addStretch(1);
    inside->addWidget(score_);
    inside->addWidget(unit);
    inside->addStretch(1);
    c->addWidget(ring_, 0, Qt::AlignHCenter);
    health_ = label(QString(), 12, QFont::DemiBold, condition);
    health_->setAlignment(Qt::AlignCenter);
    c->addWidget(health_);
    c->addStretch(1);
    row->addWidget(condition, 1);

    // Storage.
    auto* storage = new LiquidGlassCard(16, false, holder);
    auto* s = new QVBoxLayout(storage);
    s->setContentsMargins(14, 12, 14, 12);
    s->setSpacing(8);
    auto* storageTitle = new QHBoxLayout;
    storageTitle->setSpacing(6);
    storageTitle->addWidget(new SymbolView(QStringLiteral("internaldrive.fill"), 16, SystemColor::green(), storage));
    storageTitle->addWidget(label(QStringLiteral("ストレージ空き容量"), 12, QFont::DemiBold, storage), 1);
    s->addLayout(storageTitle);
    diskFree_ = label(QString(), 26, QFont::Bold, storage);
    s->addWidget(diskFree_);
    auto* storageNote = label(QStringLiteral("不要なファイルを見つけて容量を確保できます"), 11, QFont::Normal, storage);
    storageNote->setWordWrap(true);
    secondaryLabels_ << storageNote;
    s->addWidget(storageNote);
    s->addStretch(1);
    row->addWidget(storage, 1);

    // Removable data.
    auto* junkCard = new LiquidGlassCard(16, false, holder);
    auto* j = new QVBoxLayout(junkCard);
    j->setContentsMargins(14, 12, 14, 12);
    j->setSpacing(8);
    auto* junkTitle = new QHBoxLayout;
    junkTitle->setSpacing(6);
    junkTitle->addWidget(new SymbolView(QStringLiteral("trash.fill"), 16, SystemColor::orange(), junkCard));
    junkTitle->addWidget(label(QStringLiteral("削除可能な一時データ"), 12, QFont::DemiBold, junkCard), 1);
    j->addLayout(junkTitle);
    junk_ = label(QString(), 26, QFont::Bold, junkCard);
    j->addWidget(junk_);
    optimize_ = new QPushButton(platform::symbolIcon(QStringLiteral("bolt.fill")), QString(), junkCard);
    optimize_->setCursor(Qt::PointingHandCursor);
    j->addWidget(optimize_);
    j->addStretch(1);
    row->addWidget(junkCard, 1);

    DashboardModel* model = model_.get();
    connect(optimize_, &QPushButton::clicked, this, [model] { model->quickOptimize(); });
    return holder;
}

QWidget* DashboardView::buildShortcuts(QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* v = new QVBoxLayout(holder);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(10);
    v->addWidget(label(QStringLiteral("クイックナビゲーション"), 16, QFont::Bold, holder));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const QList<FeatureShortcutCard> cards = DashboardModel::shortcuts();
    for (int i = 0; i < cards.size(); ++i) {
        auto* card = new ShortcutCard(cards[i], holder);
        secondaryLabels_ << card->subtitle();
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
    auto* card = new LiquidGlassCard(16, false, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 14, 16, 14);
    row->setSpacing(14);
    row->addWidget(label(QStringLiteral("🌸"), 30, QFont::Normal, card), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(label(QStringLiteral("白そらみ嬢のワンポイントアドバイス"), 14, QFont::Bold, card));
    auto* advice = label(QStringLiteral("Mac を長く快適に使うコツは、週に1回のキャッシュ掃除と、不要になったアプリの残存ファイル削除だよ！今日もばっちりお手当するね！"),
                         12, QFont::Normal, card);
    advice->setWordWrap(true);
    texts->addWidget(advice);
    row->addLayout(texts, 1);
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

void DashboardView::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const QColor accent = Theme::accentColor(theme);
    static_cast<Badge*>(headerCircle_)->setColor(accent);
    capsule_->setStyleSheet(QStringLiteral("QLabel { background-color: %1; color: %2; border-radius: 9px; }")
                                .arg(withAlpha(accent, 0.15).name(QColor::HexArgb), accent.name()));
    QPalette healthPalette = health_->palette();
    healthPalette.setColor(QPalette::WindowText, accent);
    health_->setPalette(healthPalette);
    for (QLabel* l : std::as_const(secondaryLabels_)) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Theme::secondaryText(theme));
        l->setPalette(p);
    }
    for (QWidget* card : std::as_const(shortcuts_))
        static_cast<ShortcutCard*>(card)->chevron()->setColor(Theme::secondaryText(theme));
    optimize_->setStyleSheet(prominentStyle(accent));
    ring_->update();
    rebuildThemeMenu();
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
