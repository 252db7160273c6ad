#include "installer/ui/InstallerView.h"

#include "app/AppTheme.h"
#include "app/ui/ConfirmationDialog.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "app/ThemeManager.h"
#include "exec/HumanReadable.h"
#include "installer/CatalogManager.h"
#include "platform/Workspace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

QColor accent()
{
    return Theme::accentColor(ThemeManager::shared().currentTheme());
}

QPushButton* symbolButton(const QString& text, const QString& symbol, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(text);
    button->setCursor(Qt::PointingHandCursor);
    if (!symbol.isEmpty())
        button->setIcon(QIcon(ThemeStyle::symbolPixmap(symbol, 14, ThemeStyle::color(Tone::primary), parent->devicePixelRatioF())));
    return button;
}

// A row of a symbol and a text in the secondary style.
QWidget* symbolLine(const QString& symbol, QLabel* label, const QColor& color, QWidget* parent)
{
    auto* row = new QWidget(parent);
    QHBoxLayout* layout = ThemeStyle::row(row, 6);
    layout->addWidget(new SymbolView(symbol, 12, color, row));
    layout->addWidget(label, 1);
    return row;
}

bool isOpenableURL(const std::optional<QString>& text)
{
    if (!text || text->isEmpty())
        return false;
    const QUrl url(*text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty();
}

} // namespace

VersionCard::VersionCard(const MacOSVersion& version, bool selected, QWidget* parent)
    : QPushButton(parent), version_(version)
{
    setObjectName(QStringLiteral("versionCard"));
    setCheckable(true);
    setChecked(selected);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(version.name + QStringLiteral(" ver ") + version.version);
    setMinimumHeight(64);
    QHBoxLayout* row = ThemeStyle::row(this, 10, QMargins(12, 8, 12, 8));
    row->addWidget(new SymbolView(QStringLiteral("apple.logo"), 22, selected ? accent() : ThemeStyle::color(Tone::secondary), this));
    QVBoxLayout* texts = ThemeStyle::column(nullptr, 2);
    texts->addWidget(ThemeStyle::label(version.name, 13, QFont::Bold, Tone::primary, this));
    QString detail = QStringLiteral("ver ") + version.version;
    if (version.buildNumber)
        detail += QStringLiteral(" (") + *version.buildNumber + QStringLiteral(")");
    texts->addWidget(ThemeStyle::label(detail, 11, QFont::Normal, Tone::secondary, this));
    row->addLayout(texts, 1);
    const QString badge = version.badge();
    if (!badge.isEmpty()) {
        badge_ = ThemeStyle::label(badge, 9, QFont::Bold, Tone::primary, this);
        badge_->setObjectName(QStringLiteral("versionBadge"));
        const QColor color = badge == QLatin1String("BETA") ? SystemColor::orange() : SystemColor::green();
        badge_->setStyleSheet(QStringLiteral("QLabel { color: white; background: %1; border-radius: 6px; padding: 1px 6px; }").arg(color.name()));
        row->addWidget(badge_, 0, Qt::AlignTop);
    }
}

QString VersionCard::badgeText() const
{
    return badge_ ? badge_->text() : QString();
}

void VersionCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = accent();
    QColor fill = isChecked() ? color : ThemeStyle::color(Tone::secondary);
    fill.setAlphaF(isChecked() ? 0.18 : (underMouse() ? 0.12 : 0.07));
    painter.setBrush(fill);
    QColor edge = isChecked() ? color : ThemeStyle::color(Tone::secondary);
    edge.setAlphaF(isChecked() ? 0.9 : 0.25);
    painter.setPen(QPen(edge, isChecked() ? 2 : 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 12, 12);
}

DiskRow::DiskRow(const DiskInfo& disk, bool selected, QWidget* parent) : QPushButton(parent), disk_(disk)
{
    setObjectName(QStringLiteral("diskRow"));
    setCheckable(true);
    setChecked(selected);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(disk.displayName + QStringLiteral(" ") + humanReadable(disk.sizeBytes));
    setMinimumHeight(34);
    QHBoxLayout* row = ThemeStyle::row(this, 8, QMargins(8, 4, 8, 4));
    row->addWidget(new SymbolView(QStringLiteral("externaldrive.fill"), 16,
                                  selected ? SystemColor::purple() : ThemeStyle::color(Tone::secondary), this));
    row->addWidget(ThemeStyle::label(disk.displayName, 12, selected ? QFont::Bold : QFont::Normal, Tone::primary, this), 1);
    row->addWidget(ThemeStyle::label(humanReadable(disk.sizeBytes), 12, QFont::Normal, Tone::secondary, this));
}

InstallerView::InstallerView(QWidget* parent) : InstallerView(InstallerModel::create(), parent) {}

InstallerView::InstallerView(std::shared_ptr<InstallerModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), catalog_(CatalogManager::shared())
{
    setObjectName(QStringLiteral("installerView"));
    header_ = new SectionHeader(QStringLiteral("macOSインストーラー"), QStringLiteral("インストールイメージのダウンロードとUSBメディア作成"),
                                QStringLiteral("arrow.down.circle.fill"), SystemColor::blue(), this);
    QScrollArea* scroll = ThemeStyle::scrollArea(this);
    scroll->setObjectName(QStringLiteral("installerScroll"));
    QVBoxLayout* page = ThemeStyle::pageIn(scroll, QMargins(0, 0, 4, 0), 14);
    page->addWidget(buildCatalogCard());
    page->addWidget(ThemeStyle::label(QStringLiteral("バージョンを選択"), 13, QFont::DemiBold, Tone::secondary, this));
    gridHost_ = new QWidget(this);
    grid_ = new QGridLayout(gridHost_);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setSpacing(10);
    grid_->setColumnStretch(0, 1);
    grid_->setColumnStretch(1, 1);
    page->addWidget(gridHost_);
    page->addWidget(buildDownloadCard());
    page->addWidget(buildUSBCard());
    page->addStretch(1);

    QVBoxLayout* layout = ThemeStyle::column(this, 12, QMargins(20, 20, 20, 16));
    layout->addWidget(header_);
    layout->addWidget(scroll, 1);

    connect(&catalog_, &CatalogManager::changed, this, [this] {
        updateCatalog();
        // Status texts change once per product during a refresh; the grid only with the list.
        if (catalog_.entries() != shownEntries_)
            rebuildGrid();
    });
    connect(model_.get(), &InstallerModel::changed, this, [this] { refreshState(); });
    connect(model_.get(), &InstallerModel::disksChanged, this, [this] {
        rebuildDisks();
        updateCreateButton();
    });
    connect(model_.get(), &InstallerModel::progressChanged, this, [this] { updateDownload(); });
    connect(model_.get(), &InstallerModel::logChanged, this, [this] { updateLog(); });
    rebuildGrid();
    rebuildDisks();
    updateCatalog();
    refreshState();
    updateLog();
}

InstallerView::~InstallerView()
{
    model_->appearance.end();
}

QWidget* InstallerView::buildCatalogCard()
{
    auto* card = new LiquidGlassCard(14, false, this);
    card->setObjectName(QStringLiteral("catalogCard"));
    QVBoxLayout* column = ThemeStyle::column(card, 8, ThemeStyle::cardPadding);
    QHBoxLayout* top = ThemeStyle::row(nullptr, 8);
    top->addWidget(new SymbolView(QStringLiteral("antenna.radiowaves.left.and.right"), 16, SystemColor::blue(), card));
    top->addWidget(ThemeStyle::label(QStringLiteral("Apple カタログサーバー自動チェック"), 14, QFont::Bold, Tone::primary, card));
    top->addStretch(1);
    refreshing_ = new ActivityIndicator(14, card);
    refreshingLabel_ = ThemeStyle::label(QStringLiteral("チェック中…"), 11, QFont::Normal, Tone::secondary, card);
    top->addWidget(refreshing_);
    top->addWidget(refreshingLabel_);
    refresh_ = symbolButton(QStringLiteral("サーバーチェック"), QStringLiteral("arrow.clockwise"), QStringLiteral("catalogRefreshButton"), card);
    refresh_->setFont(ThemeStyle::font(11));
    connect(refresh_, &QPushButton::clicked, this, [this] { catalog_.refresh(); });
    top->addWidget(refresh_);
    column->addLayout(top);

    lastCheck_ = ThemeStyle::label(QString(), 11, QFont::Normal, Tone::secondary, card);
    lastCheck_->setObjectName(QStringLiteral("lastCheckLabel"));
    lastCheckRow_ = symbolLine(QStringLiteral("clock"), lastCheck_, ThemeStyle::color(Tone::secondary), card);
    column->addWidget(lastCheckRow_);
    status_ = ThemeStyle::label(QString(), 12, QFont::Normal, Tone::primary, card);
    status_->setObjectName(QStringLiteral("catalogStatusLabel"));
    column->addWidget(status_);
    QLabel* found = ThemeStyle::label(QStringLiteral("新しいバージョンが検出されました！下の一覧に自動追加されています。"), 12, QFont::DemiBold,
                                      Tone::accent, card);
    found->setWordWrap(true);
    newRow_ = symbolLine(QStringLiteral("sparkles"), found, SystemColor::yellow(), card);
    newRow_->setObjectName(QStringLiteral("newVersionsRow"));
    column->addWidget(newRow_);
    return card;
}

QWidget* InstallerView::buildDownloadCard()
{
    auto* card = new LiquidGlassCard(14, false, this);
    downloadCard_ = card;
    card->setObjectName(QStringLiteral("downloadCard"));
    QVBoxLayout* column = ThemeStyle::column(card, 8, ThemeStyle::cardPadding);
    QHBoxLayout* title = ThemeStyle::row(nullptr, 8);
    title->addWidget(ThemeStyle::label(QStringLiteral("📥 インストーラーのダウンロード"), 14, QFont::Bold, Tone::primary, card));
    QLabel* capsule = ThemeStyle::label(QStringLiteral("正式リリース版"), 10, QFont::Bold, Tone::primary, card);
    ThemeStyle::onTheme(capsule, [capsule](AppTheme theme) {
        capsule->setStyleSheet(QStringLiteral("QLabel { color: white; background: %1; border-radius: 8px; padding: 2px 8px; }")
                                   .arg(Theme::accentColor(theme).name()));
    });
    title->addWidget(capsule);
    title->addStretch(1);
    column->addLayout(title);
    description_ = ThemeStyle::label(QString(), 12, QFont::Normal, Tone::primary, card);
    description_->setWordWrap(true);
    column->addWidget(description_);
    QLabel* note = ThemeStyle::label(QStringLiteral("※ Apple公式CDN（") + Installers::cdnHost()
                                         + QStringLiteral("）より直ダウンロード＆展開するためリンク切れなく確実に取得できます（12GB〜18GB程度）。"),
                                     10, QFont::Normal, Tone::secondary, card);
    note->setWordWrap(true);
    column->addWidget(note);

    download_ = symbolButton(QString(), QStringLiteral("arrow.down.circle.fill"), QStringLiteral("downloadButton"), card);
    ThemeStyle::makeProminent(download_, QColor(), ThemeStyle::ButtonSize::large);
    connect(download_, &QPushButton::clicked, this, [this] {
        if (model_->selectedVersion())
            model_->downloadInstaller(*model_->selectedVersion());
    });
    column->addWidget(download_);

    QHBoxLayout* links = ThemeStyle::row(nullptr, 8);
    browser_ = symbolButton(QStringLiteral("ブラウザで直接保存"), QStringLiteral("arrow.down.doc.fill"), QStringLiteral("browserButton"), card);
    connect(browser_, &QPushButton::clicked, this, [this] {
        if (model_->selectedVersion() && model_->selectedVersion()->pkgURL)
            platform::Workspace::shared().openUrl(QUrl(*model_->selectedVersion()->pkgURL));
    });
    store_ = symbolButton(QString(), QStringLiteral("arrow.up.forward.app.fill"), QStringLiteral("storeButton"), card);
    connect(store_, &QPushButton::clicked, this, [this] {
        if (model_->selectedVersion() && model_->selectedVersion()->directURL)
            platform::Workspace::shared().openUrl(QUrl(*model_->selectedVersion()->directURL));
    });
    links->addWidget(browser_);
    links->addWidget(store_);
    links->addStretch(1);
    column->addLayout(links);
    QPushButton* guide = symbolButton(QStringLiteral("Apple公式ダウンロードガイドを確認 (") + Installers::supportHost() + QStringLiteral(")"),
                                      QStringLiteral("safari.fill"), QStringLiteral("guideLink"), card);
    ThemeStyle::makePlain(guide);
    connect(guide, &QPushButton::clicked, this, [] { platform::Workspace::shared().openUrl(QUrl(Installers::guideURL())); });
    column->addWidget(guide, 0, Qt::AlignLeft);

    progress_ = new QProgressBar(card);
    progress_->setObjectName(QStringLiteral("downloadProgress"));
    progress_->setAccessibleName(QStringLiteral("ダウンロードの進行状況"));
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(8);
    column->addWidget(progress_);
    progressText_ = ThemeStyle::label(QString(), 11, QFont::Normal, Tone::secondary, card);
    progressText_->setObjectName(QStringLiteral("downloadProgressText"));
    column->addWidget(progressText_);

    auto* logCard = new LiquidGlassCard(10, false, card);
    logCard_ = logCard;
    logCard->setFixedHeight(150);
    QVBoxLayout* logLayout = ThemeStyle::column(logCard, 0, QMargins(8, 6, 8, 6));
    log_ = ThemeStyle::logView(logCard);
    log_->setObjectName(QStringLiteral("downloadLog"));
    logLayout->addWidget(log_);
    column->addWidget(logCard);
    return card;
}

QWidget* InstallerView::buildUSBCard()
{
    auto* card = new LiquidGlassCard(14, false, this);
    usbCard_ = card;
    card->setObjectName(QStringLiteral("usbCard"));
    QVBoxLayout* column = ThemeStyle::column(card, 8, ThemeStyle::cardPadding);
    column->addWidget(ThemeStyle::label(QStringLiteral("💾 起動可能USBメディア作成"), 14, QFont::Bold, Tone::primary, card));
    QHBoxLayout* head = ThemeStyle::row(nullptr, 8);
    head->addWidget(ThemeStyle::label(QStringLiteral("対象ディスク"), 12, QFont::Bold, Tone::primary, card));
    head->addStretch(1);
    QPushButton* refresh = symbolButton(QStringLiteral("更新"), QString(), QStringLiteral("diskRefreshButton"), card);
    connect(refresh, &QPushButton::clicked, this, [this] { model_->refreshDisks(); });
    head->addWidget(refresh);
    column->addLayout(head);

    emptyDisks_ = ThemeStyle::label(QStringLiteral("外部ディスクが見つかりません"), 12, QFont::Normal, Tone::secondary, card);
    emptyDisks_->setObjectName(QStringLiteral("emptyDisksLabel"));
    emptyState_ = symbolLine(QStringLiteral("externaldrive.badge.xmark"), emptyDisks_, ThemeStyle::color(Tone::secondary), card);
    column->addWidget(emptyState_);
    diskList_ = ThemeStyle::column(nullptr, 4);
    column->addLayout(diskList_);

    create_ = symbolButton(QString(), QString(), QStringLiteral("createUSBButton"), card);
    ThemeStyle::makeProminent(create_, QColor(), ThemeStyle::ButtonSize::large);
    connect(create_, &QPushButton::clicked, this, [this] { model_->setShowUSBConfirm(true); });
    column->addWidget(create_);
    return card;
}

QList<VersionCard*> InstallerView::versionCards() const
{
    return gridHost_->findChildren<VersionCard*>(QString(), Qt::FindDirectChildrenOnly);
}

QList<DiskRow*> InstallerView::diskRows() const
{
    return usbCard_->findChildren<DiskRow*>(QString(), Qt::FindDirectChildrenOnly);
}

void InstallerView::rebuildGrid()
{
    for (VersionCard* card : versionCards()) {
        grid_->removeWidget(card);
        card->hide();
        card->deleteLater();
        card->setParent(nullptr);
    }
    shownEntries_ = catalog_.entries();
    const QList<MacOSVersion> versions = Installers::mergedVersions(shownEntries_);
    const std::optional<MacOSVersion>& selected = model_->selectedVersion();
    for (qsizetype i = 0; i < versions.size(); ++i) {
        const MacOSVersion& version = versions.at(i);
        auto* card = new VersionCard(version, selected && selected->id == version.id, gridHost_);
        connect(card, &QPushButton::clicked, this, [this, version] { model_->selectVersion(version); });
        grid_->addWidget(card, int(i / 2), int(i % 2));
    }
}

void InstallerView::rebuildDisks()
{
    for (DiskRow* row : diskRows()) {
        diskList_->removeWidget(row);
        row->hide();
        row->deleteLater();
        row->setParent(nullptr);
    }
    const std::optional<DiskInfo>& selected = model_->selectedDisk();
    for (const DiskInfo& disk : model_->availableDisks()) {
        auto* row = new DiskRow(disk, selected && selected->id == disk.id, usbCard_);
        const QUuid id = disk.id;
        connect(row, &QPushButton::clicked, this, [this, id] { model_->selectDisk(id); });
        diskList_->addWidget(row);
    }
    emptyState_->setVisible(model_->availableDisks().isEmpty());
}

void InstallerView::updateCatalog()
{
    const bool refreshing = catalog_.isRefreshing();
    refreshing_->setVisible(refreshing);
    refreshingLabel_->setVisible(refreshing);
    refresh_->setEnabled(!refreshing);
    lastCheckRow_->setVisible(catalog_.lastRefreshDate().has_value());
    if (catalog_.lastRefreshDate())
        lastCheck_->setText(QStringLiteral("最終チェック: ") + Installers::formatDate(*catalog_.lastRefreshDate()));
    status_->setText(catalog_.statusMessage().isEmpty() ? QStringLiteral("—") : catalog_.statusMessage());
    status_->setAccessibleName(status_->text());
    newRow_->setVisible(catalog_.hasNewlyDiscovered());
}

void InstallerView::refreshState()
{
    const std::optional<MacOSVersion>& selected = model_->selectedVersion();
    for (VersionCard* card : versionCards()) {
        const bool isSelected = selected && selected->id == card->version().id;
        if (card->isChecked() != isSelected)
            card->setChecked(isSelected);
    }
    downloadCard_->setVisible(selected.has_value());
    usbCard_->setVisible(selected.has_value());
    updateDownload();
    updateCreateButton();
    if (model_->showUSBConfirm())
        presentConfirmation();
}

void InstallerView::updateCreateButton()
{
    const bool creating = model_->isCreatingUSB();
    create_->setText(creating ? QStringLiteral("作成中…") : QStringLiteral("起動可能USBを作成"));
    create_->setAccessibleName(create_->text());
    create_->setEnabled(!creating && model_->selectedDisk().has_value());
}

void InstallerView::updateDownload()
{
    const std::optional<MacOSVersion>& selected = model_->selectedVersion();
    if (!selected)
        return;
    const bool downloading = model_->isDownloading();
    description_->setText(selected->name + QStringLiteral(" のフルインストーラーをダウンロードし、/Applications に配置します。"));
    download_->setText(downloading ? QStringLiteral("ダウンロード中…") : selected->name + QStringLiteral(" をダウンロード＆配置"));
    download_->setIcon(QIcon(ThemeStyle::symbolPixmap(downloading ? QStringLiteral("arrow.down.circle") : QStringLiteral("arrow.down.circle.fill"),
                                                      14, Qt::white, devicePixelRatioF())));
    download_->setAccessibleName(download_->text());
    download_->setEnabled(!downloading && !InstallerModel::isDownloadRunning(*selected));
    browser_->setVisible(isOpenableURL(selected->pkgURL));
    const QString storeTitle = selected->storeButtonTitle();
    store_->setVisible(!storeTitle.isEmpty());
    store_->setText(storeTitle);
    store_->setAccessibleName(storeTitle);

    progress_->setVisible(downloading);
    if (model_->downloadFraction()) {
        progress_->setRange(0, 1000);
        progress_->setValue(int(*model_->downloadFraction() * 1000));
    } else {
        progress_->setRange(0, 0);   // indeterminate until curl shows its first percentage
    }
    progressText_->setVisible(downloading && !model_->downloadProgressText().isEmpty());
    progressText_->setText(model_->downloadProgressText());
}

void InstallerView::updateLog()
{
    logCard_->setVisible(!model_->downloadLog().isEmpty());
    ThemeStyle::showLog(log_, model_->downloadLog());
}

void InstallerView::presentConfirmation()
{
    if (dialog_)
        return;
    std::weak_ptr<InstallerModel> weak = model_;
    auto closed = [weak] {
        if (auto model = weak.lock())
            model->setShowUSBConfirm(false);
    };
    dialog_ = ::presentConfirmation(this, QStringLiteral("usbConfirmation"), QStringLiteral("USBメディアを作成しますか？"),
                                    QStringLiteral("ディスクのすべてのデータが削除されます。"), model_->confirmButtonTitle(),
                                    [weak] {
                                        if (auto model = weak.lock())
                                            model->createUSB();
                                    },
                                    closed);
}

void InstallerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_->appearanceTask();
}

void InstallerView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        model_->appearance.end();
}
