#include "app/ui/SidebarView.h"

#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/ThemeStyle.h"

#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

constexpr int sectionRole = Qt::UserRole + 1;

// A row: the section's symbol at 15 points in its colour and the title at 13 points medium,
// on a rounded selection in the theme's accent.
class SidebarRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {180, 32}; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const AppTheme theme = ThemeManager::shared().currentTheme();
        const auto section = SidebarSection(index.data(sectionRole).toInt());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);

        const QRectF row = QRectF(option.rect).adjusted(8, 1, -8, -1);
        QPainterPath shape;
        shape.addRoundedRect(row, 6, 6);
        if (option.state & QStyle::State_Selected) {
            QColor fill = Theme::accentColor(theme);
            fill.setAlphaF(Theme::isDark(theme) ? 0.38f : 0.22f);
            painter->fillPath(shape, fill);
        } else if (option.state & QStyle::State_MouseOver) {
            QColor fill = Theme::primaryText(theme);
            fill.setAlphaF(0.06f);
            painter->fillPath(shape, fill);
        }

        constexpr int symbolSize = 15;
        const QPixmap symbol = ThemeStyle::symbolPixmap(Sections::icon(section), symbolSize, Sections::color(section),
                                                        painter->device()->devicePixelRatioF());
        const int symbolX = int(row.left()) + 10;
        const int symbolY = int(row.center().y() - symbolSize / 2.0);
        painter->drawPixmap(QPoint(symbolX, symbolY), symbol);

        painter->setFont(ThemeStyle::font(13, QFont::Medium));
        painter->setPen(Theme::primaryText(theme));
        const QRectF textRect(symbolX + symbolSize + 8, row.top(), row.right() - (symbolX + symbolSize + 8) - 6,
                              row.height());
        const QString title = painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                                int(textRect.width()));
        painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, title);
        painter->restore();
    }
};

} // namespace

QString SidebarView::navigationTitle()
{
    return QStringLiteral("Tessarin 🩺");
}

QString SidebarView::releaseLine()
{
    return QStringLiteral("Tessarin ") + QStringLiteral("2.2 “White Sorami”");
}

QString SidebarView::taglineLine()
{
    return QStringLiteral("白そらみ嬢、Macをお手当中！🌸");
}

SidebarView::SidebarView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("sidebar"));
    setMinimumWidth(minimumColumnWidth);

    title_ = ThemeStyle::label(navigationTitle(), 17, QFont::Bold, Tone::primary, this);
    title_->setObjectName(QStringLiteral("sidebarTitle"));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("sidebarList"));
    list_->setAccessibleName(QStringLiteral("サイドバー"));
    list_->setItemDelegate(new SidebarRowDelegate(list_));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setMouseTracking(true);
    list_->viewport()->setAutoFillBackground(false);
    list_->setAutoFillBackground(false);
    list_->setFocusPolicy(Qt::StrongFocus);
    for (SidebarSection section : Sections::allCases()) {
        auto* item = new QListWidgetItem(Sections::rawValue(section), list_);
        item->setData(sectionRole, int(section));
        item->setData(Qt::AccessibleTextRole, Sections::rawValue(section));
        item->setData(Qt::ToolTipRole, QVariant());
    }

    QWidget* divider = ThemeStyle::divider(this);
    divider->setObjectName(QStringLiteral("sidebarDivider"));

    release_ = ThemeStyle::label(releaseLine(), 11, QFont::DemiBold, Tone::primary, this);
    release_->setObjectName(QStringLiteral("sidebarRelease"));

    tagline_ = ThemeStyle::label(taglineLine(), 9, QFont::Normal, Tone::secondary, this);
    tagline_->setObjectName(QStringLiteral("sidebarTagline"));

    QVBoxLayout* footer = ThemeStyle::column(nullptr, 2, QMargins(16, 10, 16, 12));
    footer->addWidget(release_);
    footer->addWidget(tagline_);

    QVBoxLayout* layout = ThemeStyle::column(this, 0, QMargins(0, 18, 0, 0));
    QHBoxLayout* titleRow = ThemeStyle::row(nullptr, -1, QMargins(18, 0, 16, 10));
    titleRow->addWidget(title_);
    layout->addLayout(titleRow);
    layout->addWidget(list_, 1);
    layout->addWidget(divider);
    layout->addLayout(footer);

    selectRow(AppState::shared().selectedSection());

    connect(list_, &QListWidget::currentRowChanged, this, [](int row) {
        const QList<SidebarSection> sections = Sections::allCases();
        if (row >= 0 && row < sections.size())
            AppState::shared().setSelectedSection(sections[row]);
    });
    // The selection is never empty: a Ctrl-click on the selected row would otherwise leave
    // the detail area without a highlighted row.
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        if (list_->selectedItems().isEmpty())
            selectRow(AppState::shared().selectedSection());
    });
    connect(&AppState::shared(), &AppState::selectedSectionChanged, this, [this](SidebarSection section) {
        selectRow(section);
    });

    ThemeStyle::onTheme(this, [this](AppTheme theme) {
        // The delegate draws the rows in the theme's colours; the list itself stays see-through.
        QPalette listPalette = list_->palette();
        listPalette.setColor(QPalette::Base, Qt::transparent);
        listPalette.setColor(QPalette::Text, Theme::primaryText(theme));
        list_->setPalette(listPalette);
        list_->viewport()->update();
        update();
    });
}

QSize SidebarView::sizeHint() const
{
    return {idealColumnWidth, QWidget::sizeHint().height()};
}

void SidebarView::selectRow(SidebarSection section)
{
    const int row = int(Sections::allCases().indexOf(section));
    if (list_->currentRow() != row)
        list_->setCurrentRow(row);
    if (QListWidgetItem* item = list_->item(row); item && !item->isSelected())
        item->setSelected(true);
}

void SidebarView::paintEvent(QPaintEvent*)
{
    // The sidebar material: a lighter (or, on the dark theme, slightly lifted) veil over the
    // window background.
    const AppTheme theme = ThemeManager::shared().currentTheme();
    QPainter painter(this);
    painter.fillRect(rect(), Theme::isDark(theme) ? QColor(255, 255, 255, 10) : QColor(255, 255, 255, 90));
}
