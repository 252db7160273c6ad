#include "cleanup/ui/IntelAppsView.h"

#include "app/AppTheme.h"
#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ConfirmationDialog.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/AppIconView.h"
#include "cleanup/ui/IntelAppCard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const QString bannerExplanation = QStringLiteral(
    "Apple は macOS 27 Golden Gate を Rosetta 2 がフルに使える最後のバージョンとしていて、macOS 28 "
    "以降は一部の古いゲーム向けなどの限定的な機能に縮小される予定だよ。Intel CPU にしか対応していないアプリは、今のうちに "
    "Apple Silicon 対応版へ更新するか、使っていなければ削除しておくと安心！");

// A capsule with a symbol and a short text in one colour.
QWidget* chip(const QString& symbol, const QString& text, const QColor& color, const QString& objectName,
              QWidget* parent)
{
    auto* box = new QWidget(parent);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_StyledBackground);
    const QColor fill = QColor::fromRgbF(color.redF(), color.greenF(), color.blueF(), 0.15);
    box->setStyleSheet(QStringLiteral("#%1 { background: %2; border-radius: 9px; }").arg(objectName, fill.name(QColor::HexArgb)));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(8, 3, 8, 3);
    row->setSpacing(4);
    row->addWidget(new SymbolView(symbol, 11, color, box));
    auto* label = new QLabel(text, box);
    label->setObjectName(objectName + QStringLiteral("Text"));
    label->setTextFormat(Qt::PlainText);
    label->setFont(ThemeStyle::font(10, QFont::Bold));
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(color.name()));
    label->setAccessibleName(text);
    row->addWidget(label);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}

// One figure of the summary card: symbol, value and label, centred.
QLabel* figure(QHBoxLayout* row, const QString& symbol, const QColor& color, const QString& caption,
               const QString& objectName, QWidget* parent)
{
    auto* column = new QVBoxLayout;
    column->setSpacing(3);
    column->addWidget(new SymbolView(symbol, 20, color, parent), 0, Qt::AlignHCenter);
    auto* value = CleanupStyle::label(QString(), 17, QFont::Bold, false, parent);
    value->setObjectName(objectName);
    value->setAlignment(Qt::AlignCenter);
    column->addWidget(value, 0, Qt::AlignHCenter);
    auto* label = CleanupStyle::label(caption, 10, QFont::Normal, true, parent);
    column->addWidget(label, 0, Qt::AlignHCenter);
    row->addLayout(column, 1);
    return value;
}

QScrollArea* transparentScroll(QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    scroll->viewport()->setAutoFillBackground(false);
    return scroll;
}

} // namespace

IntelAppsView::IntelAppsView(QWidget* parent) : IntelAppsView(IntelAppsModel::create(), parent) {}

IntelAppsView::IntelAppsView(std::shared_ptr<IntelAppsModel> model, QWidget* parent)
    : QWidget(parent), model_(std::move(model))
{
    setObjectName(QStringLiteral("intelAppsView"));
    header_ = new SectionHeader(QStringLiteral("Intel専用アプリ"),
                                QStringLiteral("Rosetta 2 の縮小に備えて Intel CPU のみ対応のアプリを検出・削除"),
                                QStringLiteral("cpu"), SystemColor::indigo(), this);

    auto* scroll = transparentScroll(this);
    scroll->setObjectName(QStringLiteral("intelScroll"));
    auto* page = new QWidget(scroll);
    page->setAutoFillBackground(false);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 4, 0);
    pageLayout->setSpacing(14);
    banner_ = buildBanner();
    pageLayout->addWidget(banner_);
    pageLayout->addWidget(buildSummary());
    pageLayout->addWidget(buildListArea());
    pageLayout->addStretch(1);
    scroll->setWidget(page);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(12);
    layout->addWidget(header_);
    layout->addWidget(scroll, 1);
    layout->addWidget(buildActionBar());
    layout->addWidget(buildLog());

    IntelAppsModel* m = model_.get();
    connect(m, &IntelAppsModel::appsChanged, this, [this] {
        rebuildCards();
        updateSummary();
        updateListPage();
        updateActionBar();
    });
    connect(m, &IntelAppsModel::appChanged, this, [this](const QUuid& id) {
        updateCard(id);
        updateSummary();
    });
    connect(m, &IntelAppsModel::selectionChanged, this, [this] { updateActionBar(); });
    connect(m, &IntelAppsModel::isScanningChanged, this, [this] {
        updateSummary();
        updateListPage();
        updateActionBar();
    });
    connect(m, &IntelAppsModel::isRemovingChanged, this, [this] {
        updateSummary();
        updateActionBar();
    });
    connect(m, &IntelAppsModel::removalMethodChanged, this, [this] { updateActionBar(); });
    connect(m, &IntelAppsModel::includeLeftoversChanged, this, [this] { updateActionBar(); });
    connect(m, &IntelAppsModel::logChanged, this, [this] { updateLog(); });
    connect(m, &IntelAppsModel::showConfirmChanged, this, [this](bool show) {
        if (show)
            presentConfirmation();
        else if (dialog_)
            dialog_->close();
    });

    rebuildCards();
    updateSummary();
    updateListPage();
    updateActionBar();
    updateLog();
}

IntelAppsView::~IntelAppsView()
{
    model_->appearance.end();
}

QWidget* IntelAppsView::buildBanner()
{
    auto* card = new LiquidGlassCard(14, false, this);
    card->setObjectName(QStringLiteral("rosettaBanner"));
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 14, 16, 14);
    row->setSpacing(12);
    row->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 22, SystemColor::yellow(), card), 0,
                   Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    auto* heading = CleanupStyle::label(QStringLiteral("macOS 28 以降の Rosetta 2 縮小について"), 12, QFont::Bold, false, card);
    heading->setObjectName(QStringLiteral("bannerHeading"));
    column->addWidget(heading);
    auto* explanation = CleanupStyle::label(bannerExplanation, 11, QFont::Normal, false, card);
    explanation->setObjectName(QStringLiteral("bannerExplanation"));
    explanation->setWordWrap(true);
    column->addWidget(explanation);

    const RosettaInfo rosetta = model_->rosetta();
    if (!rosetta.isAppleSilicon) {
        auto* note = CleanupStyle::label(
            QStringLiteral("※ このMacは Intel CPU なので下のアプリは今は普通に動くよ。Apple Silicon Mac へ移行するときの参考にしてね。"),
            11, QFont::Normal, true, card);
        note->setObjectName(QStringLiteral("bannerNote"));
        note->setWordWrap(true);
        column->addWidget(note);
    } else if (!rosetta.isRosettaInstalled) {
        auto* note = CleanupStyle::label(
            QStringLiteral("※ Rosetta 2 が入っていないので、下のアプリは今このMacでは起動できない状態だよ。"), 11,
            QFont::Normal, false, card);
        note->setObjectName(QStringLiteral("bannerNote"));
        note->setWordWrap(true);
        note->setStyleSheet(QStringLiteral("color: %1;").arg(SystemColor::orange().name()));
        column->addWidget(note);
    }

    auto* chips = new QHBoxLayout;
    chips->setSpacing(8);
    chips->addWidget(chip(QStringLiteral("desktopcomputer"),
                          rosetta.isAppleSilicon ? QStringLiteral("このMac: Apple Silicon") : QStringLiteral("このMac: Intel"),
                          SystemColor::blue(), QStringLiteral("macChip"), card));
    if (rosetta.isAppleSilicon) {
        chips->addWidget(rosetta.isRosettaInstalled
                             ? chip(QStringLiteral("checkmark.circle.fill"), QStringLiteral("Rosetta 2: インストール済み"),
                                    SystemColor::green(), QStringLiteral("rosettaChip"), card)
                             : chip(QStringLiteral("xmark.circle.fill"), QStringLiteral("Rosetta 2: 未インストール"),
                                    SystemColor::orange(), QStringLiteral("rosettaChip"), card));
    }
    chips->addStretch(1);
    column->addLayout(chips);
    row->addLayout(column, 1);
    return card;
}

QWidget* IntelAppsView::buildSummary()
{
    auto* card = new LiquidGlassCard(14, false, this);
    card->setObjectName(QStringLiteral("summaryCard"));
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(16, 12, 16, 12);
    row->setSpacing(12);
    intelCount_ = figure(row, QStringLiteral("cpu"), SystemColor::indigo(), QStringLiteral("Intel専用アプリ"),
                         QStringLiteral("intelCount"), card);
    totalSize_ = figure(row, QStringLiteral("internaldrive.fill"), SystemColor::blue(), QStringLiteral("合計サイズ"),
                        QStringLiteral("totalSize"), card);
    scanned_ = figure(row, QStringLiteral("app.badge.checkmark"), SystemColor::green(), QStringLiteral("スキャンしたアプリ"),
                      QStringLiteral("scannedCount"), card);
    rescanIndicator_ = new ActivityIndicator(12, card);
    rescan_ = new QPushButton(QStringLiteral("再スキャン"), card);
    rescan_->setObjectName(QStringLiteral("rescanButton"));
    rescan_->setAccessibleName(rescan_->text());
    rescan_->setIcon(QIcon(ThemeStyle::symbolPixmap(QStringLiteral("arrow.clockwise"), 14,
                                                    Theme::primaryText(ThemeManager::shared().currentTheme()),
                                                    devicePixelRatioF())));
    connect(rescan_, &QPushButton::clicked, this, [this] { model_->scan(); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(6);
    buttonRow->addWidget(rescanIndicator_);
    buttonRow->addWidget(rescan_);
    row->addLayout(buttonRow);
    return card;
}

QWidget* IntelAppsView::buildListArea()
{
    listStack_ = new QStackedWidget(this);
    listStack_->setObjectName(QStringLiteral("intelListStack"));

    auto* scanning = new LiquidGlassCard(14, false, listStack_);
    scanning->setObjectName(QStringLiteral("scanningCard"));
    auto* scanningLayout = new QVBoxLayout(scanning);
    scanningLayout->setContentsMargins(20, 24, 20, 24);
    scanningLayout->setSpacing(10);
    scanningLayout->addWidget(new ActivityIndicator(24, scanning), 0, Qt::AlignHCenter);
    scanningLayout->addWidget(
        CleanupStyle::label(QStringLiteral("アプリのアーキテクチャを調べてるよ…"), 12, QFont::Normal, true, scanning), 0,
        Qt::AlignHCenter);

    auto* nothing = new LiquidGlassCard(14, false, listStack_);
    nothing->setObjectName(QStringLiteral("nothingFoundCard"));
    auto* nothingLayout = new QVBoxLayout(nothing);
    nothingLayout->setContentsMargins(20, 24, 20, 24);
    nothingLayout->setSpacing(8);
    nothingLayout->addWidget(CleanupStyle::label(QStringLiteral("🎉"), 36, QFont::Normal, false, nothing), 0,
                             Qt::AlignHCenter);
    nothingLayout->addWidget(
        CleanupStyle::label(QStringLiteral("Intel専用アプリは見つからなかったよ！"), 15, QFont::DemiBold, false, nothing), 0,
        Qt::AlignHCenter);
    auto* allNative = CleanupStyle::label(
        QStringLiteral("インストールされているアプリはすべて Apple Silicon にネイティブ対応しています。"), 11,
        QFont::Normal, true, nothing);
    allNative->setWordWrap(true);
    allNative->setAlignment(Qt::AlignCenter);
    nothingLayout->addWidget(allNative);

    auto* listPage = new QWidget(listStack_);
    listPage->setObjectName(QStringLiteral("intelListPage"));
    auto* listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(8);
    auto* headingRow = new QHBoxLayout;
    headingRow->addWidget(CleanupStyle::label(QStringLiteral("検出されたアプリ"), 13, QFont::DemiBold, false, listPage));
    headingRow->addStretch(1);
    selectAll_ = new QPushButton(QStringLiteral("すべて選択"), listPage);
    selectAll_->setObjectName(QStringLiteral("selectAllButton"));
    selectAll_->setFlat(true);
    selectAll_->setAccessibleName(selectAll_->text());
    deselectAll_ = new QPushButton(QStringLiteral("選択解除"), listPage);
    deselectAll_->setObjectName(QStringLiteral("deselectAllButton"));
    deselectAll_->setFlat(true);
    deselectAll_->setAccessibleName(deselectAll_->text());
    for (QPushButton* button : {selectAll_, deselectAll_}) {
        button->setCursor(Qt::PointingHandCursor);
        CleanupStyle::tintText(button, [] { return Theme::accentColor(ThemeManager::shared().currentTheme()); });
        button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 2px 6px; color: %1; }")
                                  .arg(Theme::accentColor(ThemeManager::shared().currentTheme()).name()));
    }
    connect(selectAll_, &QPushButton::clicked, this, [this] { model_->setAllSelected(true); });
    connect(deselectAll_, &QPushButton::clicked, this, [this] { model_->setAllSelected(false); });
    headingRow->addWidget(selectAll_);
    headingRow->addWidget(deselectAll_);
    listLayout->addLayout(headingRow);
    cardsHost_ = new QWidget(listPage);
    cardsLayout_ = new QVBoxLayout(cardsHost_);
    cardsLayout_->setContentsMargins(0, 0, 0, 0);
    cardsLayout_->setSpacing(6);
    listLayout->addWidget(cardsHost_);

    listStack_->addWidget(scanning);
    listStack_->addWidget(nothing);
    listStack_->addWidget(listPage);
    return listStack_;
}

QWidget* IntelAppsView::buildActionBar()
{
    auto* card = new LiquidGlassCard(12, false, this);
    card->setObjectName(QStringLiteral("actionBar"));
    actionBar_ = card;
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(14, 8, 14, 8);
    column->setSpacing(6);

    auto* options = new QHBoxLayout;
    options->setSpacing(10);
    leftovers_ = new QCheckBox(QStringLiteral("関連ファイル（設定・キャッシュ）も処理"), card);
    leftovers_->setObjectName(QStringLiteral("includeLeftovers"));
    leftovers_->setAccessibleName(leftovers_->text());
    leftovers_->setChecked(model_->includeLeftovers());
    connect(leftovers_, &QCheckBox::toggled, this, [this](bool on) { model_->setIncludeLeftovers(on); });
    options->addWidget(leftovers_);
    options->addStretch(1);
    auto* methodLabel = CleanupStyle::label(QStringLiteral("削除方法"), 12, QFont::Normal, false, card);
    options->addWidget(methodLabel);
    methods_ = new QButtonGroup(card);
    methods_->setExclusive(true);
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    const QList<RemovalMethod> cases = Removal::allCases();
    for (qsizetype i = 0; i < cases.size(); ++i) {
        auto* segment = new QPushButton(Removal::rawValue(cases[i]), card);
        segment->setObjectName(i == 0 ? QStringLiteral("methodTrash") : QStringLiteral("methodPermanent"));
        segment->setCheckable(true);
        segment->setAccessibleName(QStringLiteral("削除方法: ") + segment->text());
        segment->setChecked(cases[i] == model_->removalMethod());
        methods_->addButton(segment, int(cases[i]));
        segments->addWidget(segment);
    }
    connect(methods_, &QButtonGroup::idClicked, this, [this](int id) { model_->setRemovalMethod(RemovalMethod(id)); });
    options->addLayout(segments);
    column->addLayout(options);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    selection_ = CleanupStyle::label(QString(), 12, QFont::Normal, true, card);
    selection_->setObjectName(QStringLiteral("selectionText"));
    actions->addWidget(selection_, 1);
    removeIndicator_ = new ActivityIndicator(14, card);
    actions->addWidget(removeIndicator_);
    remove_ = new QPushButton(QStringLiteral("選択したアプリを削除"), card);
    remove_->setObjectName(QStringLiteral("removeSelectedButton"));
    remove_->setIcon(QIcon(ThemeStyle::symbolPixmap(QStringLiteral("trash.fill"), 14, Qt::white, devicePixelRatioF())));
    CleanupStyle::makeProminent(remove_, SystemColor::red());
    connect(remove_, &QPushButton::clicked, this, [this] { model_->setShowConfirm(true); });
    actions->addWidget(remove_);
    column->addLayout(actions);
    return card;
}

QWidget* IntelAppsView::buildLog()
{
    logSection_ = new QWidget(this);
    logSection_->setObjectName(QStringLiteral("intelLogSection"));
    auto* layout = new QVBoxLayout(logSection_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(CleanupStyle::divider(logSection_));
    layout->addWidget(CleanupStyle::label(QStringLiteral("ログ"), 13, QFont::DemiBold, false, logSection_));
    logView_ = new QPlainTextEdit(logSection_);
    logView_->setObjectName(QStringLiteral("intelLogView"));
    logView_->setReadOnly(true);
    logView_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    logView_->setFont(CleanupStyle::monospaced(11));
    logView_->setFrameShape(QFrame::NoFrame);
    logView_->setAccessibleName(QStringLiteral("ログ"));
    logView_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));
    logView_->viewport()->setAutoFillBackground(false);
    auto* card = liquidGlassCard(logView_, 10, false, logSection_);
    card->setContentsMargins(card->contentsMargins() + QMargins(8, 6, 8, 6));
    card->setFixedHeight(160 + card->contentsMargins().top() + card->contentsMargins().bottom());
    layout->addWidget(card);
    return logSection_;
}

QList<IntelAppCard*> IntelAppsView::cards() const
{
    QList<IntelAppCard*> ordered;
    for (const IntelOnlyApp& app : model_->apps())
        if (IntelAppCard* card = cards_.value(app.id))
            ordered << card;
    return ordered;
}

QPushButton* IntelAppsView::methodButton(RemovalMethod method) const
{
    return qobject_cast<QPushButton*>(methods_->button(int(method)));
}

IntelAppsView::ListPage IntelAppsView::listPage() const
{
    return ListPage(listStack_->currentIndex());
}

void IntelAppsView::rebuildCards()
{
    for (IntelAppCard* card : std::as_const(cards_))
        delete card;
    cards_.clear();
    for (const IntelOnlyApp& app : model_->apps()) {
        auto* card = new IntelAppCard(app, model_->isRunning(app.path), cardsHost_);
        connect(card, &IntelAppCard::selectionToggled, this,
                [this](const QUuid& id, bool selected) { model_->setSelected(id, selected); });
        cardsLayout_->addWidget(card);
        cards_.insert(app.id, card);
    }
}

void IntelAppsView::updateCard(const QUuid& id)
{
    IntelAppCard* card = cards_.value(id);
    const std::optional<IntelOnlyApp> app = model_->app(id);
    if (card && app)
        card->setApp(*app);
}

void IntelAppsView::updateSummary()
{
    const bool scanning = model_->isScanning();
    intelCount_->setText(scanning ? QStringLiteral("検出中…") : QString::number(model_->apps().size()) + QStringLiteral(" 個"));
    totalSize_->setText(scanning ? QStringLiteral("—") : formatSize(model_->totalSizeMB()));
    scanned_->setText(QString::number(model_->totalScanned()) + QStringLiteral(" 個"));
    for (QLabel* value : {intelCount_, totalSize_, scanned_})
        value->setAccessibleName(value->text());
    rescan_->setText(scanning ? QStringLiteral("スキャン中…") : QStringLiteral("再スキャン"));
    rescan_->setAccessibleName(rescan_->text());
    rescan_->setEnabled(!scanning && !model_->isRemoving());
    rescanIndicator_->setVisible(scanning);
}

void IntelAppsView::updateListPage()
{
    const bool empty = model_->apps().isEmpty();
    if (model_->isScanning() && empty)
        listStack_->setCurrentIndex(int(ListPage::scanning));
    else if (model_->hasScanned() && empty)
        listStack_->setCurrentIndex(int(ListPage::nothingFound));
    else
        listStack_->setCurrentIndex(int(ListPage::list));
}

void IntelAppsView::updateActionBar()
{
    actionBar_->setVisible(!model_->apps().isEmpty());
    {
        const QSignalBlocker blocker(leftovers_);
        leftovers_->setChecked(model_->includeLeftovers());
    }
    if (QPushButton* current = methodButton(model_->removalMethod()); current && !current->isChecked())
        current->setChecked(true);
    selection_->setText(model_->selectionText());
    selection_->setAccessibleName(selection_->text());
    const bool removing = model_->isRemoving();
    remove_->setText(removing ? QStringLiteral("処理中…") : QStringLiteral("選択したアプリを削除"));
    remove_->setAccessibleName(remove_->text());
    remove_->setEnabled(model_->canRemove());
    removeIndicator_->setVisible(removing);
}

void IntelAppsView::updateLog()
{
    const QStringList& log = model_->log();
    logSection_->setVisible(!log.isEmpty());
    logView_->setPlainText(log.join(QLatin1Char('\n')));
    logView_->verticalScrollBar()->setValue(logView_->verticalScrollBar()->maximum());
}

void IntelAppsView::presentConfirmation()
{
    if (dialog_)
        return;
    auto closed = [this] {
        dialog_ = nullptr;
        model_->setShowConfirm(false);
    };
    dialog_ = ::presentConfirmation(this, QStringLiteral("removeConfirmation"), model_->confirmTitle(), model_->confirmMessage(), model_->confirmButtonText(),
                                  [this] { model_->removeSelected(); }, closed);
}

void IntelAppsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        model_->appearanceTask();
}

void IntelAppsView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        model_->appearance.end();
}
