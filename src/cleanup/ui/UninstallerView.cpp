#include "cleanup/ui/UninstallerView.h"

#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/ConfirmationDialog.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/AppDetailView.h"
#include "cleanup/ui/AppRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

constexpr int idRole = Qt::UserRole + 1;

// The rounded field behind the search symbol and text.
class SearchBox final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Theme::isDark(ThemeManager::shared().currentTheme());
        painter.setPen(Qt::NoPen);
        painter.setBrush(dark ? QColor(255, 255, 255, 26) : QColor(0, 0, 0, 15));
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
    }
};

} // namespace

UninstallerView::UninstallerView(QWidget* parent) : UninstallerView(UninstallerModel::create(), parent) {}

UninstallerView::UninstallerView(std::shared_ptr<UninstallerModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model))
{
    setObjectName(QStringLiteral("uninstallerView"));
    build();

    UninstallerModel* m = model_.get();
    connect(m, &UninstallerModel::appsChanged, this, [this] {
        rebuildList();
        count_->setText(countText(model_->apps().size()));
        count_->setAccessibleName(count_->text());
    });
    connect(m, &UninstallerModel::searchTextChanged, this, [this] {
        if (search_->text() != model_->searchText())
            search_->setText(model_->searchText());
        rebuildList();
    });
    connect(m, &UninstallerModel::isScanningChanged, this, [this] { updateScanning(); });
    connect(m, &UninstallerModel::selectedAppChanged, this, [this] {
        updateDetail();
        updateSelectionInList();
    });
    connect(m, &UninstallerModel::isUninstallingChanged, this, [this](bool uninstalling) {
        if (detail_)
            detail_->setUninstalling(uninstalling);
    });
    connect(m, &UninstallerModel::logChanged, this, [this] {
        if (detail_)
            detail_->setLog(model_->log());
    });
    connect(m, &UninstallerModel::showConfirmChanged, this, [this](bool show) {
        if (show)
            presentConfirmation();
        else if (dialog_)
            dialog_->close();
    });

    rebuildList();
    updateScanning();
    updateDetail();
}

UninstallerView::~UninstallerView()
{
    model_->appearance.end();
}

QString UninstallerView::countText(qsizetype count)
{
    return QString::number(count) + QStringLiteral(" 個のアプリ");
}

void UninstallerView::build()
{
    using namespace ThemeStyle;
    header_ = new SectionHeader(QStringLiteral("アンインストーラー"), QStringLiteral("残存ファイルも含めて完全削除"),
                                QStringLiteral("trash.circle.fill"), SystemColor::red(), this);

    // The list pane.
    auto* listPane = new QWidget(this);
    listPane->setObjectName(QStringLiteral("listPane"));
    listPane->setMinimumWidth(listPaneMinimumWidth);

    auto* searchBox = new SearchBox(listPane);
    QHBoxLayout* searchRow = row(searchBox, 6, QMargins(8, 4, 8, 4));
    searchRow->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 14, color(Tone::secondary), searchBox));
    search_ = new QLineEdit(searchBox);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setPlaceholderText(QStringLiteral("アプリを検索…"));
    search_->setAccessibleName(QStringLiteral("アプリを検索…"));
    search_->setFrame(false);
    search_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    search_->setClearButtonEnabled(true);
    searchRow->addWidget(search_, 1);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) { model_->setSearchText(text); });

    listStack_ = new QStackedWidget(listPane);
    listStack_->setObjectName(QStringLiteral("listStack"));
    auto* scanningPage = new QWidget(listStack_);
    QVBoxLayout* scanningLayout = column(scanningPage);
    scanningLayout->addStretch(1);
    scanningLayout->addWidget(new ActivityIndicator(24, scanningPage), 0, Qt::AlignHCenter);
    QLabel* scanningLabel = label(QStringLiteral("スキャン中…"), 13, QFont::Normal, Tone::secondary, scanningPage);
    scanningLabel->setObjectName(QStringLiteral("scanningLabel"));
    scanningLayout->addWidget(scanningLabel, 0, Qt::AlignHCenter);
    scanningLayout->addStretch(1);
    list_ = new QListWidget(listStack_);
    list_->setObjectName(QStringLiteral("appList"));
    list_->setAccessibleName(QStringLiteral("アプリ一覧"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setSpacing(1);
    list_->setStyleSheet(QStringLiteral(
        "QListWidget { background: transparent; }"
        "QListWidget::item { border-radius: 6px; }"
        "QListWidget::item:selected { background: rgba(128, 128, 128, 0.22); color: palette(text); }"));
    listStack_->addWidget(scanningPage);
    listStack_->addWidget(list_);
    connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (updatingList_ || !item)
            return;
        const QUuid id = item->data(idRole).toUuid();
        for (const InstalledApp& app : model_->apps()) {
            if (app.id == id) {
                model_->setSelectedApp(app);
                return;
            }
        }
    });

    scanButton_ = new QPushButton(QStringLiteral("スキャン"), listPane);
    scanButton_->setObjectName(QStringLiteral("scanButton"));
    scanButton_->setAccessibleName(QStringLiteral("スキャン"));
    makeProminent(scanButton_);
    connect(scanButton_, &QPushButton::clicked, this, [this] { model_->scan(); });
    scanIndicator_ = new ActivityIndicator(14, listPane);
    count_ = label(countText(0), 10, QFont::Normal, Tone::secondary, listPane);
    count_->setObjectName(QStringLiteral("appCount"));
    QHBoxLayout* footer = row(nullptr, 6);
    footer->addWidget(scanIndicator_);
    footer->addWidget(scanButton_);
    footer->addWidget(count_);
    footer->addStretch(1);

    QVBoxLayout* listLayout = column(listPane, 8, QMargins(0, 0, 8, 0));
    listLayout->addWidget(searchBox);
    listLayout->addWidget(listStack_, 1);
    listLayout->addLayout(footer);

    // The detail pane.
    detailStack_ = new QStackedWidget(this);
    detailStack_->setObjectName(QStringLiteral("detailStack"));
    auto* placeholder = new QWidget(detailStack_);
    placeholder->setObjectName(QStringLiteral("detailPlaceholder"));
    QVBoxLayout* placeholderLayout = column(placeholder);
    placeholderLayout->addStretch(1);
    placeholderLayout->addWidget(new SymbolView(QStringLiteral("trash.circle"), 56, color(Tone::secondary), placeholder),
                                 0, Qt::AlignHCenter);
    QLabel* choose = label(QStringLiteral("アプリを選択"), 22, QFont::Bold, Tone::primary, placeholder);
    choose->setObjectName(QStringLiteral("placeholderTitle"));
    placeholderLayout->addWidget(choose, 0, Qt::AlignHCenter);
    QLabel* hint = label(QStringLiteral("左のリストからアプリを選んでください"), 12, QFont::Normal, Tone::secondary, placeholder);
    hint->setObjectName(QStringLiteral("placeholderHint"));
    placeholderLayout->addWidget(hint, 0, Qt::AlignHCenter);
    placeholderLayout->addStretch(1);
    detailStack_->addWidget(placeholder);

    QScrollArea* detailScroll = scrollArea(detailStack_);
    detailScroll->setObjectName(QStringLiteral("detailScroll"));
    detail_ = new AppDetailView(InstalledApp{}, detailScroll);
    detailScroll->setWidget(detail_);
    detailStack_->addWidget(detailScroll);
    connect(detail_, &AppDetailView::uninstallRequested, this, [this] { model_->setShowConfirm(true); });

    auto* detailCard = liquidGlassCard(detailStack_, 14, false, this);

    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("uninstallerSplit"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(listPane);
    splitter_->addWidget(detailCard);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({listPaneMinimumWidth, 10000});

    QVBoxLayout* layout = column(this, 14, QMargins(20, 20, 20, 16));
    layout->addWidget(header_);
    layout->addWidget(splitter_, 1);
}

void UninstallerView::rebuildList()
{
    updatingList_ = true;
    list_->clear();
    const QList<InstalledApp> apps = model_->filtered();
    for (const InstalledApp& app : apps) {
        auto* item = new QListWidgetItem(list_);
        item->setData(idRole, app.id);
        item->setData(Qt::AccessibleTextRole, app.name);
        auto* row = new AppRow(app, list_);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    updatingList_ = false;
    updateSelectionInList();
}

void UninstallerView::updateSelectionInList()
{
    updatingList_ = true;
    const std::optional<InstalledApp>& selected = model_->selectedApp();
    QListWidgetItem* current = nullptr;
    if (selected) {
        for (int i = 0; i < list_->count(); ++i) {
            if (list_->item(i)->data(idRole).toUuid() == selected->id) {
                current = list_->item(i);
                break;
            }
        }
    }
    if (current) {
        list_->setCurrentItem(current);
    } else {
        list_->clearSelection();
        list_->setCurrentItem(nullptr);
    }
    updatingList_ = false;
}

void UninstallerView::updateScanning()
{
    const bool scanning = model_->isScanning();
    listStack_->setCurrentIndex(scanning ? 0 : 1);
    scanButton_->setEnabled(!scanning);
    scanButton_->setText(scanning ? QStringLiteral("スキャン中…") : QStringLiteral("スキャン"));
    scanButton_->setAccessibleName(scanButton_->text());
    scanIndicator_->setVisible(scanning);
}

void UninstallerView::updateDetail()
{
    const std::optional<InstalledApp>& selected = model_->selectedApp();
    if (!selected) {
        detailStack_->setCurrentIndex(0);
        return;
    }
    detail_->setApp(*selected);
    detail_->setUninstalling(model_->isUninstalling());
    detail_->setLog(model_->log());
    detailStack_->setCurrentIndex(1);
}

void UninstallerView::presentConfirmation()
{
    if (dialog_)
        return;
    auto closed = [this] {
        dialog_ = nullptr;
        model_->setShowConfirm(false);
    };
    dialog_ = ::presentConfirmation(this, QStringLiteral("uninstallConfirmation"), model_->confirmTitle(), UninstallerModel::confirmMessage(), QStringLiteral("削除する"),
                                  [this] { model_->uninstall(); }, closed);
}

void UninstallerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_->appearanceTask();
}

void UninstallerView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        model_->appearance.end();
}
