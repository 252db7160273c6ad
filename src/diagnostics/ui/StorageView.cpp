#include "diagnostics/ui/StorageView.h"

#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "diagnostics/StorageModel.h"
#include "exec/HumanReadable.h"
#include "platform/Symbols.h"
#include "platform/Workspace.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

QColor faded(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return color;
}

void clearLayout(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

} // namespace

// ---- the usage bar -------------------------------------------------------------------------

UsageBar::UsageBar(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ThemeStyle::onTheme(this, [this](AppTheme) { update(); });
}

void UsageBar::setFraction(double fraction)
{
    fraction_ = std::clamp(fraction, 0.0, 1.0);
    update();
}

QColor UsageBar::fillColor() const
{
    return fraction_ > 0.85 ? SystemColor::red() : SystemColor::green();
}

void UsageBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(faded(ThemeStyle::color(Tone::secondary), 0.2));
    painter.drawRoundedRect(track, 6, 6);
    painter.setBrush(fillColor());
    painter.drawRoundedRect(QRectF(track.topLeft(), QSizeF(track.width() * fraction_, track.height())), 6, 6);
}

// ---- the share ring ------------------------------------------------------------------------

ShareRing::ShareRing(QWidget* parent) : QWidget(parent)
{
    setFixedSize(sizeHint());
    ThemeStyle::onTheme(this, [this](AppTheme) { update(); });
}

void ShareRing::setShares(const QList<Share>& shares)
{
    shares_ = shares;
    update();
}

void ShareRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal thickness = 18;
    const QRectF ring = QRectF(rect()).adjusted(thickness / 2 + 2, thickness / 2 + 2, -thickness / 2 - 2, -thickness / 2 - 2);
    painter.setPen(QPen(faded(ThemeStyle::color(Tone::secondary), 0.15), thickness));
    painter.drawEllipse(ring);
    // Qt counts angles counter-clockwise from three o'clock in sixteenths of a degree.
    int start = 90 * 16;
    double left = 1.0;   // shares past the whole volume (odd df figures) are cut at the full circle
    for (const Share& share : shares_) {
        const double fraction = std::clamp(share.fraction, 0.0, left);
        left -= fraction;
        const int span = int(std::lround(fraction * 360 * 16));
        if (span == 0)
            continue;
        painter.setPen(QPen(share.color, thickness, Qt::SolidLine, Qt::FlatCap));
        painter.drawArc(ring, start, -span);
        start -= span;
    }
}

// ---- the screen ----------------------------------------------------------------------------

StorageView::StorageView(QWidget* parent) : QWidget(parent), model_(std::make_shared<StorageModel>())
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("StorageView"));
    QVBoxLayout* layout = scrollingPage(this, QMargins(24, 20, 24, 20), 12);
    QWidget* body = layout->parentWidget();
    layout->addWidget(new SectionHeader(QStringLiteral("ストレージ分析"), QStringLiteral("容量の使用状況と大きなファイルを確認"),
                                        QStringLiteral("chart.pie.fill"), SystemColor::green(), body));
    layout->addWidget(buildUsageCard(body));

    // The segmented tab picker.
    auto* picker = new QWidget(body);
    QHBoxLayout* pickerRow = row(picker, 0);
    auto* group = new QButtonGroup(picker);
    for (const QString& title : {QStringLiteral("カテゴリ別"), QStringLiteral("大きなファイル")}) {
        auto* tab = new QPushButton(title, picker);
        tab->setCheckable(true);
        tab->setAccessibleName(title);
        tab->setCursor(Qt::PointingHandCursor);
        group->addButton(tab, int(tabs_.size()));
        pickerRow->addWidget(tab, 1);
        tabs_ << tab;
    }
    tabs_[0]->setChecked(true);
    layout->addWidget(picker);

    pages_ = new QStackedWidget(body);
    // Page 0: scanning.
    auto* scanning = new QWidget(pages_);
    QHBoxLayout* scanningRow = row(scanning, 8, QMargins(0, 24, 0, 24));
    scanningRow->addStretch(1);
    scanningRow->addWidget(new ActivityIndicator(20, scanning));
    scanningRow->addWidget(label(QStringLiteral("スキャン中…"), 13, QFont::Normal, Tone::secondary, scanning));
    scanningRow->addStretch(1);
    pages_->addWidget(scanning);
    // Page 1: the categories, the picture of the volume beside the grid.
    auto* categories = new QWidget(pages_);
    QHBoxLayout* categoriesRow = row(categories, 16);
    auto* ringCard = new LiquidGlassCard(14, false, categories);
    ring_ = new ShareRing(ringCard);
    column(ringCard, 0, cardPadding)->addWidget(ring_, 0, Qt::AlignCenter);
    categoriesRow->addWidget(ringCard, 0, Qt::AlignTop);
    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(10);
    grid_->setVerticalSpacing(10);
    grid_->setColumnStretch(0, 1);
    grid_->setColumnStretch(1, 1);
    categoriesRow->addLayout(grid_, 1);
    pages_->addWidget(categories);
    // Page 2: the large files.
    auto* filesCard = new LiquidGlassCard(14, false, pages_);
    fileList_ = column(filesCard, 6, cardPadding);
    pages_->addWidget(filesCard);
    layout->addWidget(pages_);

    rescan_ = new QPushButton(QStringLiteral("再スキャン"), body);
    rescan_->setAccessibleName(QStringLiteral("再スキャン"));
    rescan_->setCursor(Qt::PointingHandCursor);
    layout->addWidget(rescan_, 0, Qt::AlignLeft);
    layout->addStretch(1);

    StorageModel* model = model_.get();
    connect(group, &QButtonGroup::idClicked, this, [model](int id) { model->setSelectedTab(id); });
    connect(rescan_, &QPushButton::clicked, this, [model] { model->scan(); });
    connect(model, &StorageModel::changed, this, &StorageView::refresh);
    refresh();
}

StorageView::~StorageView()
{
    appearance_.end();
}

QWidget* StorageView::buildUsageCard(QWidget* parent)
{
    using namespace ThemeStyle;
    auto* card = new LiquidGlassCard(14, false, parent);
    QVBoxLayout* layout = column(card, 8, cardPadding);
    QHBoxLayout* top = row(nullptr, 8);
    top->addWidget(label(QStringLiteral("ディスク使用量"), 14, QFont::DemiBold, Tone::primary, card), 1);
    usage_ = label(QString(), 12, QFont::Normal, Tone::secondary, card);
    top->addWidget(usage_);
    layout->addLayout(top);
    bar_ = new UsageBar(card);
    layout->addWidget(bar_);
    free_ = label(QString(), 11, QFont::Normal, Tone::primary, card);
    layout->addWidget(free_);
    return card;
}

QString StorageView::usageText(double totalGB, double freeGB)
{
    return fixedDecimal(totalGB - freeGB, 1) + QStringLiteral(" GB / ") + fixedDecimal(totalGB, 1) + QStringLiteral(" GB");
}

QString StorageView::freeText(double freeGB, double usedPercent)
{
    return QStringLiteral("空き: ") + fixedDecimal(freeGB, 1) + QStringLiteral(" GB (") + fixedDecimal((1 - usedPercent) * 100, 0) + QStringLiteral("%)");
}

QString StorageView::shareText(double sizeMB, double totalGB)
{
    return fixedDecimal(totalGB > 0 ? sizeMB / 1024 / totalGB * 100 : 0.0, 0) + QLatin1Char('%');
}

void StorageView::refresh()
{
    const StorageModel& m = *model_;
    usage_->setText(usageText(m.totalGB(), m.freeGB()));
    bar_->setFraction(m.usedPercent());
    free_->setText(freeText(m.freeGB(), m.usedPercent()));
    for (int i = 0; i < tabs_.size(); ++i) {
        // The chosen segment is filled, so it reads as chosen in every theme.
        tabs_[i]->setChecked(i == m.selectedTab());
        i == m.selectedTab() ? ThemeStyle::makeProminent(tabs_[i]) : ThemeStyle::makePlain(tabs_[i]);
    }
    pages_->setCurrentIndex(m.isScanning() ? 0 : 1 + m.selectedTab());
    rescan_->setEnabled(!m.isScanning());
    rebuildCategories();
    rebuildLargeFiles();
}

void StorageView::rebuildCategories()
{
    using namespace ThemeStyle;
    clearLayout(grid_);
    shareLabels_.clear();
    const QList<StorageItem> items = model_->items();
    QList<ShareRing::Share> shares;
    for (int i = 0; i < items.size(); ++i) {
        const StorageItem& item = items[i];
        if (model_->totalGB() > 0)
            shares << ShareRing::Share{item.sizeMB / 1024 / model_->totalGB(), item.color};
        auto* card = new LiquidGlassCard(12, false);
        QHBoxLayout* cardRow = row(card, 10, QMargins(10, 8, 12, 8));
        auto* swatch = new QWidget(card);
        swatch->setFixedSize(8, 36);
        swatch->setStyleSheet(QStringLiteral("background-color: %1; border-radius: 3px;").arg(item.color.name()));
        cardRow->addWidget(swatch);
        QVBoxLayout* texts = column(nullptr, 2);
        texts->addWidget(label(item.name, 13, QFont::Medium, Tone::primary, card));
        texts->addWidget(label(fixedDecimal(item.sizeMB / 1024, 1) + QStringLiteral(" GB"), 11, QFont::Normal, Tone::secondary, card));
        cardRow->addLayout(texts, 1);
        QLabel* share = label(shareText(item.sizeMB, model_->totalGB()), 11, QFont::Bold, Tone::primary, card);
        shareLabels_ << share;
        cardRow->addWidget(share);
        card->setAccessibleName(item.name);
        grid_->addWidget(card, i / 2, i % 2);
    }
    ring_->setShares(shares);
}

void StorageView::rebuildLargeFiles()
{
    using namespace ThemeStyle;
    clearLayout(fileList_);
    reveals_.clear();
    const QList<LargeFile> files = model_->largeFiles().mid(0, 30);
    QWidget* owner = fileList_->parentWidget();
    for (int i = 0; i < files.size(); ++i) {
        const LargeFile& file = files[i];
        if (i > 0)
            fileList_->addWidget(divider(owner));
        auto* line = new QWidget(owner);
        QHBoxLayout* lineRow = row(line, 8);
        auto* symbol = new SymbolView(StorageModel::iconFor(file.path), 16, color(Tone::accent), line);
        symbol->setFixedWidth(20);
        lineRow->addWidget(symbol);
        QVBoxLayout* texts = column(nullptr, 1);
        const QString name = QFileInfo(file.path).fileName();
        texts->addWidget(label(name, 12, QFont::Medium, Tone::primary, line));
        QLabel* path = label(file.path, 10, QFont::Normal, Tone::secondary, line);
        path->setWordWrap(true);
        texts->addWidget(path);
        lineRow->addLayout(texts, 1);
        lineRow->addWidget(label(fixedDecimal(file.sizeMB, 0) + QStringLiteral(" MB"), 11, QFont::Bold, Tone::primary, line));
        auto* reveal = new QPushButton(platform::symbolIcon(QStringLiteral("arrow.right.circle")), QString(), line);
        reveal->setFlat(true);
        reveal->setCursor(Qt::PointingHandCursor);
        reveal->setAccessibleName(name);
        reveal->setToolTip(file.path);
        const QString target = file.path;
        connect(reveal, &QPushButton::clicked, this, [target] { platform::Workspace::shared().revealInFileBrowser(target); });
        lineRow->addWidget(reveal);
        reveals_ << reveal;
        fileList_->addWidget(line);
    }
    fileList_->addStretch(1);
}

void StorageView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    StorageModel::appear(model_, appearance_.ticket());
}

void StorageView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    appearance_.end();
    appeared_ = false;
}
