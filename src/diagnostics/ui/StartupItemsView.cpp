#include "diagnostics/ui/StartupItemsView.h"

#include "app/AppTheme.h"
#include "app/SidebarSection.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "diagnostics/StartupItemsModel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

// An on/off switch: a check box to assistive tools and the keyboard, drawn as a pill with a knob.
class ToggleSwitch final : public QCheckBox {
public:
    explicit ToggleSwitch(QWidget* parent) : QCheckBox(parent) { setCursor(Qt::PointingHandCursor); }
    QSize sizeHint() const override { return {38, 22}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
        QColor fill = isChecked() ? SystemColor::green() : QColor(128, 128, 128, 110);
        if (!isEnabled())
            fill.setAlphaF(fill.alphaF() * 0.5);
        painter.setPen(hasFocus() ? QPen(ThemeStyle::color(Tone::accent), 1.5) : Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);
        const qreal knob = track.height() - 4;
        const qreal x = isChecked() ? track.right() - knob - 2 : track.left() + 2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    }
};

QString kindSymbol(StartupItem::Kind kind)
{
    switch (kind) {
    case StartupItem::Kind::loginItem: return QStringLiteral("app.badge.fill");
    case StartupItem::Kind::launchAgent: return QStringLiteral("person.fill");
    case StartupItem::Kind::launchDaemon: return QStringLiteral("gearshape.2.fill");
    }
    return QString();
}

QColor kindColor(StartupItem::Kind kind)
{
    switch (kind) {
    case StartupItem::Kind::loginItem: return SystemColor::blue();
    case StartupItem::Kind::launchAgent: return SystemColor::orange();
    case StartupItem::Kind::launchDaemon: return SystemColor::red();
    }
    return SystemColor::gray();
}

} // namespace

StartupItemsView::StartupItemsView(QWidget* parent) : QWidget(parent), model_(std::make_shared<StartupItemsModel>())
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("StartupItemsView"));
    QVBoxLayout* layout = scrollingPage(this, QMargins(24, 20, 24, 20), 12);
    QWidget* body = layout->parentWidget();
    layout->addWidget(new SectionHeader(QStringLiteral("起動項目管理"), QStringLiteral("ログイン時に起動するアプリとエージェントを管理"),
                                        QStringLiteral("bolt.circle.fill"), Sections::color(SidebarSection::startup), body));

    // The tool row.
    auto* tools = new LiquidGlassCard(12, false, body);
    QHBoxLayout* toolRow = row(tools, 8, QMargins(12, 6, 12, 6));
    toolRow->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 14, color(Tone::secondary), tools));
    search_ = new QLineEdit(tools);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setPlaceholderText(QStringLiteral("検索…"));
    search_->setAccessibleName(QStringLiteral("検索…"));
    search_->setFrame(false);
    search_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    toolRow->addWidget(search_, 1);
    reload_ = new QPushButton(QStringLiteral("更新"), tools);
    reload_->setObjectName(QStringLiteral("reloadButton"));
    reload_->setAccessibleName(QStringLiteral("更新"));
    reload_->setCursor(Qt::PointingHandCursor);
    toolRow->addWidget(reload_);
    count_ = label(QString(), 11, QFont::Normal, Tone::secondary, tools);
    count_->setObjectName(QStringLiteral("countCaption"));
    toolRow->addWidget(count_);
    layout->addWidget(tools);

    // The list, or the indicator while it loads.
    stack_ = new QStackedWidget(body);
    auto* loading = new QWidget(stack_);
    QVBoxLayout* loadingLayout = column(loading);
    loadingLayout->addStretch(1);
    loadingLayout->addWidget(new ActivityIndicator(24, loading), 0, Qt::AlignHCenter);
    loadingLayout->addWidget(label(QStringLiteral("スキャン中…"), 13, QFont::Normal, Tone::secondary, loading), 0, Qt::AlignHCenter);
    loadingLayout->addStretch(1);
    stack_->addWidget(loading);
    auto* listCard = new LiquidGlassCard(14, false, stack_);
    listCard->setAccessibleName(QStringLiteral("起動項目"));
    listLayout_ = column(listCard, 2, QMargins(8, 8, 8, 8));
    listHost_ = listCard;
    stack_->addWidget(listCard);
    layout->addWidget(stack_);
    layout->addStretch(1);

    StartupItemsModel* model = model_.get();
    connect(search_, &QLineEdit::textChanged, this, [model](const QString& text) { model->setSearchText(text); });
    connect(reload_, &QPushButton::clicked, this, [model] { model->load(); });
    connect(model, &StartupItemsModel::changed, this, &StartupItemsView::refresh);
    refresh();
}

StartupItemsView::~StartupItemsView()
{
    appearance_.end();
}

QStringList StartupItemsView::sectionTitles() const
{
    QStringList titles;
    for (QLabel* heading : headings_)
        titles << heading->text();
    return titles;
}

void StartupItemsView::refresh()
{
    const StartupItemsModel& m = *model_;
    count_->setText(m.countCaption());
    count_->setAccessibleName(m.countCaption());
    stack_->setCurrentIndex(m.isLoading() ? 0 : 1);
    // The stack takes the height of the page shown.
    for (int i = 0; i < stack_->count(); ++i)
        stack_->widget(i)->setSizePolicy(QSizePolicy::Preferred, i == stack_->currentIndex() ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    reload_->setEnabled(!m.isLoading());

    // Rows are rebuilt only when what is listed changes; a switch that changed state is only
    // redrawn, since its own click is still being handled.
    const QList<StartupItem> shown = m.filtered();
    QStringList key;
    for (const StartupItem& item : shown)
        key << item.id.toString();
    if (key != shownKey_) {
        shownKey_ = key;
        rebuildRows();
        return;
    }
    for (const StartupItem& item : shown) {
        QAbstractButton* toggle = switches_.value(switchIds_.indexOf(item.id));
        if (toggle && toggle->isChecked() != item.isEnabled) {
            const QSignalBlocker block(toggle);
            toggle->setChecked(item.isEnabled);
            toggle->update();
        }
    }
}

void StartupItemsView::rebuildRows()
{
    using namespace ThemeStyle;
    if (rows_) {
        rows_->hide();
        rows_->deleteLater();
    }
    switches_.clear();
    switchIds_.clear();
    headings_.clear();
    rows_ = new QWidget(listHost_);
    QVBoxLayout* rowsLayout = column(rows_, 2);
    const QList<StartupItem> shown = model_->filtered();
    std::weak_ptr<StartupItemsModel> weak = model_;
    for (StartupItem::Kind kind : StartupItem::allKinds()) {
        QList<StartupItem> ofKind;
        for (const StartupItem& item : shown) {
            if (item.kind == kind)
                ofKind << item;
        }
        if (ofKind.isEmpty())
            continue;
        QLabel* heading = label(StartupItem::rawValue(kind), 11, QFont::DemiBold, Tone::secondary, rows_);
        heading->setContentsMargins(4, headings_.isEmpty() ? 2 : 10, 0, 2);
        rowsLayout->addWidget(heading);
        headings_ << heading;
        for (qsizetype i = 0; i < ofKind.size(); ++i) {
            const StartupItem& item = ofKind[i];
            auto* rowWidget = new QWidget(rows_);
            rowWidget->setObjectName(QStringLiteral("startupRow"));
            rowWidget->setAttribute(Qt::WA_StyledBackground);
            if (i % 2 == 1)
                rowWidget->setStyleSheet(QStringLiteral("#startupRow { background: rgba(128, 128, 128, 0.09); border-radius: 6px; }"));
            QHBoxLayout* line = row(rowWidget, 8, QMargins(6, 4, 6, 4));
            auto* symbol = new SymbolView(kindSymbol(kind), 16, kindColor(kind), rowWidget);
            symbol->setFixedWidth(24);
            line->addWidget(symbol, 0, Qt::AlignVCenter);
            QVBoxLayout* texts = column(nullptr, 1);
            texts->addWidget(label(item.name, 13, QFont::Medium, Tone::primary, rowWidget));
            QLabel* path = label(item.path, 10, QFont::Normal, Tone::secondary, rowWidget);
            path->setToolTip(item.path);
            path->setMinimumWidth(0);
            path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            texts->addWidget(path);
            line->addLayout(texts, 1);
            if (item.canToggle) {
                auto* toggle = new ToggleSwitch(rowWidget);
                toggle->setChecked(item.isEnabled);
                toggle->setAccessibleName(item.name);
                toggle->setAccessibleDescription(item.path);
                connect(toggle, &QAbstractButton::toggled, this, [weak, item](bool on) {
                    if (auto model = weak.lock())
                        model->toggle(item, on);
                });
                line->addWidget(toggle, 0, Qt::AlignVCenter);
                switches_ << toggle;
                switchIds_ << item.id;
            }
            rowsLayout->addWidget(rowWidget);
        }
    }
    if (headings_.isEmpty())
        rowsLayout->addSpacing(24);   // an empty list still shows its card
    listLayout_->insertWidget(0, rows_);
    rows_->show();
}

void StartupItemsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    StartupItemsModel::appear(model_, appearance_.ticket());
}

void StartupItemsView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    appearance_.end();
    appeared_ = false;
}
