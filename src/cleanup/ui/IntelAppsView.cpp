#include "cleanup/ui/IntelAppsView.h"

#include "app/AppTheme.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ConfirmationDialog.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/ui/IntelAppCard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QShowEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

using ThemeStyle::Tone;

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
    QHBoxLayout* row = ThemeStyle::row(box, 4, QMargins(8, 3, 8, 3));
    row->addWidget(new SymbolView(symbol, 11, color, box));
    QLabel* label = ThemeStyle::label(text, 10, QFont::Bold, Tone::primary, box);
    label->setObjectName(objectName + QStringLiteral("Text"));
    ThemeStyle::tintText(label, color);
    row->addWidget(label);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}

// One figure of the summary card: symbol, value and label, centred.
QLabel* figure(QHBoxLayout* row, const QString& symbol, const QColor& color, const QString& caption,
               const QString& objectName, QWidget* parent)
{
    QVBoxLayout* column = ThemeStyle::column(nullptr, 3);
    column->addWidget(new SymbolView(symbol, 20, color, parent), 0, Qt::AlignHCenter);
    QLabel* value = ThemeStyle::label(QString(), 17, QFont::Bold, Tone::primary, parent);
    value->setObjectName(objectName);
    value->setAlignment(Qt::AlignCenter);
    column->addWidget(value, 0, Qt::AlignHCenter);
    column->addWidget(ThemeStyle::label(caption, 10, QFont::Normal, Tone::secondary, parent), 0,
                      Qt::AlignHCenter);
    row->addLayout(column, 1);
    return value;
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

    QScrollArea* scroll = ThemeStyle::scrollArea(this);
    scroll->setObjectName(QStringLiteral("intelScroll"));
    QVBoxLayout* pageLayout = ThemeStyle::pageIn(scroll, QMargins(0, 0, 4, 0), 14);
    banner_ = buildBanner();
    pageLayout->addWidget(banner_);
    pageLayout->addWidget(buildSummary());
    pageLayout->addWidget(buildListArea());
    pageLayout->addStretch(1);

    QVBoxLayout* layout = ThemeStyle::column(this, 12, QMargins(20, 20, 20, 16));
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
    QHBoxLayout* row = ThemeStyle::row(card, 12, QMargins(16, 14, 16, 14));
    row->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 22, SystemColor::yellow(), card), 0,
                   Qt::AlignTop);
    QVBoxLayout* column = ThemeStyle::column(nullptr, 6);
    auto* heading = ThemeStyle::label(QStringLiteral("macOS 28 以降の Rosetta 2 縮小について"), 12, QFont::Bold, Tone::primary, card);
    heading->setObjectName(QStringLiteral("bannerHeading"));
    column->addWidget(heading);
    auto* explanation = ThemeStyle::label(bannerExplanation, 11, QFont::Normal, Tone::primary, card);
    explanation->setObjectName(QStringLiteral("bannerExplanation"));
    explanation->setWordWrap(true);
    column->addWidget(explanation);

    const RosettaInfo rosetta = model_->rosetta();
    if (!rosetta.isAppleSilicon) {
        auto* note = ThemeStyle::label(
            QStringLiteral("※ このMacは Intel CPU なので下のアプリは今は普通に動くよ。Apple Silicon Mac へ移行するときの参考にしてね。"),
            11, QFont::Normal, Tone::secondary, card);
        note->setObjectName(QStringLiteral("bannerNote"));
        note->setWordWrap(true);
        column->addWidget(note);
    } else if (!rosetta.isRosettaInstalled) {
        auto* note = ThemeStyle::label(
            QStringLiteral("※ Rosetta 2 が入っていないので、下のアプリは今このMacでは起動できない状態だよ。"), 11,
            QFont::Normal, Tone::primary, card);
        note->setObjectName(QStringLiteral("bannerNote"));
        note->setWordWrap(true);
        ThemeStyle::tintText(note, SystemColor::orange());
        column->addWidget(note);
    }

    QHBoxLayout* chips = ThemeStyle::row(nullptr, 8);
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
    QHBoxLayout* row = ThemeStyle::row(card, 12, ThemeStyle::cardPadding);
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
                                                    ThemeStyle::color(Tone::primary), devicePixelRatioF())));
    connect(rescan_, &QPushButton::clicked, this, [this] { model_->scan(); });
    QHBoxLayout* buttonRow = ThemeStyle::row(nullptr, 6);
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
    QVBoxLayout* scanningLayout = ThemeStyle::column(scanning, 10, QMargins(20, 24, 20, 24));
    scanningLayout->addWidget(new ActivityIndicator(24, scanning), 0, Qt::AlignHCenter);
    scanningLayout->addWidget(
        ThemeStyle::label(QStringLiteral("アプリのアーキテクチャを調べてるよ…"), 12, QFont::Normal, Tone::secondary, scanning), 0,
        Qt::AlignHCenter);

    auto* nothing = new LiquidGlassCard(14, false, listStack_);
    nothing->setObjectName(QStringLiteral("nothingFoundCard"));
    QVBoxLayout* nothingLayout = ThemeStyle::column(nothing, 8, QMargins(20, 24, 20, 24));
    nothingLayout->addWidget(ThemeStyle::label(QStringLiteral("🎉"), 36, QFont::Normal, Tone::primary, nothing), 0,
                             Qt::AlignHCenter);
    nothingLayout->addWidget(
        ThemeStyle::label(QStringLiteral("Intel専用アプリは見つからなかったよ！"), 15, QFont::DemiBold, Tone::primary, nothing), 0,
        Qt::AlignHCenter);
    auto* allNative = ThemeStyle::label(
        QStringLiteral("インストールされているアプリはすべて Apple Silicon にネイティブ対応しています。"), 11,
        QFont::Normal, Tone::secondary, nothing);
    allNative->setWordWrap(true);
    allNative->setAlignment(Qt::AlignCenter);
    nothingLayout->addWidget(allNative);

    auto* listPage = new QWidget(listStack_);
    listPage->setObjectName(QStringLiteral("intelListPage"));
    QVBoxLayout* listLayout = ThemeStyle::column(listPage, 8);
    QHBoxLayout* headingRow = ThemeStyle::row();
    headingRow->addWidget(ThemeStyle::label(QStringLiteral("検出されたアプリ"), 13, QFont::DemiBold, Tone::primary, listPage));
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
        ThemeStyle::onTheme(button, [button](AppTheme theme) {
            button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 2px 6px; color: %1; }")
                                      .arg(Theme::accentColor(theme).name()));
        });
    }
    connect(selectAll_, &QPushButton::clicked, this, [this] { model_->setAllSelected(true); });
    connect(deselectAll_, &QPushButton::clicked, this, [this] { model_->setAllSelected(false); });
    headingRow->addWidget(selectAll_);
    headingRow->addWidget(deselectAll_);
    listLayout->addLayout(headingRow);
    cardsHost_ = new QWidget(listPage);
    cardsLayout_ = ThemeStyle::column(cardsHost_, 6);
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
    QVBoxLayout* column = ThemeStyle::column(card, 6, QMargins(14, 8, 14, 8));

    QHBoxLayout* options = ThemeStyle::row(nullptr, 10);
    leftovers_ = new QCheckBox(QStringLiteral("関連ファイル（設定・キャッシュ）も処理"), card);
    leftovers_->setObjectName(QStringLiteral("includeLeftovers"));
    leftovers_->setAccessibleName(leftovers_->text());
    leftovers_->setChecked(model_->includeLeftovers());
    connect(leftovers_, &QCheckBox::toggled, this, [this](bool on) { model_->setIncludeLeftovers(on); });
    options->addWidget(leftovers_);
    options->addStretch(1);
    options->addWidget(ThemeStyle::label(QStringLiteral("削除方法"), 12, QFont::Normal, Tone::primary, card));
    methods_ = new QButtonGroup(card);
    methods_->setExclusive(true);
    QHBoxLayout* segments = ThemeStyle::row(nullptr, 0);
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

    QHBoxLayout* actions = ThemeStyle::row(nullptr, 8);
    selection_ = ThemeStyle::label(QString(), 12, QFont::Normal, Tone::secondary, card);
    selection_->setObjectName(QStringLiteral("selectionText"));
    actions->addWidget(selection_, 1);
    removeIndicator_ = new ActivityIndicator(14, card);
    actions->addWidget(removeIndicator_);
    remove_ = new QPushButton(QStringLiteral("選択したアプリを削除"), card);
    remove_->setObjectName(QStringLiteral("removeSelectedButton"));
    remove_->setIcon(QIcon(ThemeStyle::symbolPixmap(QStringLiteral("trash.fill"), 14, Qt::white, devicePixelRatioF())));
    ThemeStyle::makeProminent(remove_, SystemColor::red());
    connect(remove_, &QPushButton::clicked, this, [this] { model_->setShowConfirm(true); });
    actions->addWidget(remove_);
    column->addLayout(actions);
    return card;
}

QWidget* IntelAppsView::buildLog()
{
    logSection_ = new QWidget(this);
    logSection_->setObjectName(QStringLiteral("intelLogSection"));
    QVBoxLayout* layout = ThemeStyle::column(logSection_, 6);
    layout->addWidget(ThemeStyle::divider(logSection_));
    layout->addWidget(ThemeStyle::label(QStringLiteral("ログ"), 13, QFont::DemiBold, Tone::primary, logSection_));
    logView_ = ThemeStyle::logView(logSection_);
    logView_->setObjectName(QStringLiteral("intelLogView"));
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
    ThemeStyle::showLog(logView_, log);
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
