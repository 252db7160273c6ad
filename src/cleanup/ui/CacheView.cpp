#include "cleanup/ui/CacheView.h"

#include "app/AppTheme.h"
#include "app/SidebarSection.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/CacheModel.h"
#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "platform/Symbols.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

// One group: a check box, its symbol, name and size, and a border in its colour while chosen.
// Pressing anywhere on it ticks the box; the box itself takes the keyboard focus.
class CategoryCard final : public PressableCard {
public:
    CategoryCard(const QColor& color, QWidget* parent) : PressableCard(14, parent), color_(color) { setFocusPolicy(Qt::NoFocus); }
    void setSelected(bool selected)
    {
        if (selected_ == selected)
            return;
        selected_ = selected;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        PressableCard::paintEvent(event);
        if (!selected_)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor border = color_;
        border.setAlphaF(0.5);
        painter.setPen(QPen(border, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(cardRect().adjusted(0.75, 0.75, -0.75, -0.75), cornerRadius(), cornerRadius());
    }

private:
    QColor color_;
    bool selected_ = false;
};

} // namespace

CacheView::CacheView(QWidget* parent) : QWidget(parent), model_(std::make_shared<CacheModel>())
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("CacheView"));
    QVBoxLayout* layout = scrollingPage(this, QMargins(24, 20, 24, 20), 8);
    QWidget* body = layout->parentWidget();

    layout->addWidget(new SectionHeader(QStringLiteral("キャッシュ削除"),
                                        QStringLiteral("不要なキャッシュや一時ファイルを一括でクリーンアップ"),
                                        QStringLiteral("internaldrive.fill"), Sections::color(SidebarSection::cache), body));

    // The Touch ID card.
    helperSymbol_ = new SymbolView(QStringLiteral("lock.shield"), 28, SystemColor::orange());
    helperTitle_ = label(QString(), 14, QFont::DemiBold);
    helperSubtitle_ = label(QString(), 11, QFont::Normal, Tone::secondary);
    helperButton_ = new QPushButton;
    helperButton_->setCursor(Qt::PointingHandCursor);
    layout->addWidget(noticeCard(body, helperSymbol_, helperTitle_, helperSubtitle_, helperButton_));

    // The groups.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    buildCategoryGrid(grid);
    layout->addLayout(grid);

    // The summary bar.
    auto* summary = new LiquidGlassCard(14, false, body);
    QHBoxLayout* summaryRow = row(summary, 10, cardPadding);
    QVBoxLayout* totals = column(nullptr, 2);
    totals->addWidget(label(QStringLiteral("選択中の推定サイズ"), 11, QFont::Normal, Tone::secondary, summary));
    total_ = label(QString(), 20, QFont::Bold, Tone::primary, summary);
    totals->addWidget(total_);
    summaryRow->addLayout(totals, 1);
    scanButton_ = new QPushButton(platform::symbolIcon(QStringLiteral("arrow.clockwise")), QStringLiteral("サイズ計測"), summary);
    scanButton_->setAccessibleName(QStringLiteral("サイズ計測"));
    scanButton_->setCursor(Qt::PointingHandCursor);
    summaryRow->addWidget(scanButton_, 0, Qt::AlignVCenter);
    cleanButton_ = new QPushButton(platform::symbolIcon(QStringLiteral("sparkles")), QString(), summary);
    cleanButton_->setFixedWidth(140);
    cleanButton_->setCursor(Qt::PointingHandCursor);
    makeProminent(cleanButton_);
    summaryRow->addWidget(cleanButton_, 0, Qt::AlignVCenter);
    layout->addWidget(summary);

    // The log.
    auto* logCard = new LiquidGlassCard(14, false, body);
    QVBoxLayout* logLayout = column(logCard, 6, cardPadding);
    logLayout->addWidget(label(QStringLiteral("ログ"), 13, QFont::DemiBold, Tone::primary, logCard));
    log_ = ThemeStyle::logView(logCard);
    log_->setFixedHeight(160);
    logLayout->addWidget(log_);
    layout->addWidget(logCard);
    layout->addStretch(1);

    CacheModel* model = model_.get();
    connect(scanButton_, &QPushButton::clicked, this, [model] { model->scan(); });
    connect(cleanButton_, &QPushButton::clicked, this, [model] { model->startClean(); });
    connect(helperButton_, &QPushButton::clicked, this, [model] {
        if (CleanerHelper::shared().status() == CleanerHelperStatus::installed)
            model->removeHelper();
        else
            model->setupHelper();
    });
    connect(model, &CacheModel::categoriesChanged, this, [this] { refreshCategories(); refreshState(); });
    connect(model, &CacheModel::stateChanged, this, &CacheView::refreshState);
    connect(model, &CacheModel::logChanged, this, [this] { showLog(log_, model_->log()); });
    connect(model, &CacheModel::setupPromptChanged, this, [this](bool show) {
        if (show)
            askSetupQuestion();
    });
    connect(&CleanerHelper::shared(), &CleanerHelper::statusChanged, this, &CacheView::refreshHelperCard);

    refreshCategories();
    refreshHelperCard();
    refreshState();
}

CacheView::~CacheView()
{
    appearance_.end();
}

void CacheView::buildCategoryGrid(QGridLayout* grid)
{
    constexpr int columns = 3;
    const QList<CacheCategory>& categories = model_->categories();
    for (int i = 0; i < categories.size(); ++i) {
        const CacheCategory& c = categories[i];
        auto* card = new CategoryCard(c.color, this);
        QHBoxLayout* row = ThemeStyle::row(card, 8, QMargins(12, 10, 10, 10));
        auto* check = new QCheckBox(card);
        check->setAccessibleName(c.name);
        row->addWidget(check, 0, Qt::AlignVCenter);
        auto* symbol = new SymbolView(c.icon, 22, c.color, card);
        symbol->setFixedWidth(36);
        row->addWidget(symbol, 0, Qt::AlignVCenter);
        QVBoxLayout* texts = ThemeStyle::column(nullptr, 1);
        texts->addWidget(ThemeStyle::label(c.name, 13, QFont::DemiBold, Tone::primary, card));
        auto* size = ThemeStyle::label(QString(), 11, QFont::Normal, Tone::secondary, card);
        texts->addWidget(size);
        row->addLayout(texts, 1);
        CacheModel* model = model_.get();
        connect(check, &QCheckBox::toggled, this, [model, i](bool on) { model->setSelected(i, on); });
        card->setTexts(c.name, QString());
        connect(card, &PressableCard::pressed, check, &QCheckBox::toggle);
        grid->addWidget(card, i / columns, i % columns);
        cards_ << card;
        checks_ << check;
        sizes_ << size;
    }
    for (int column = 0; column < columns; ++column)
        grid->setColumnStretch(column, 1);
}

void CacheView::refreshCategories()
{
    const QList<CacheCategory>& categories = model_->categories();
    for (int i = 0; i < categories.size() && i < cards_.size(); ++i) {
        const CacheCategory& c = categories[i];
        if (checks_[i]->isChecked() != c.isSelected) {
            const QSignalBlocker block(checks_[i]);
            checks_[i]->setChecked(c.isSelected);
        }
        static_cast<CategoryCard*>(cards_[i])->setSelected(c.isSelected);
        // A refused directory (the temporary directory naming "/", say) is shown, not measured.
        QString details;
        const QString refusal = CacheModel::refusalCaption(c, &details);
        const QString size = CacheModel::sizeText(c.estimatedMB);
        sizes_[i]->setText(refusal.isEmpty() ? size : size + QStringLiteral(" · ") + refusal);
        sizes_[i]->setToolTip(details);
        checks_[i]->setAccessibleDescription(details.isEmpty() ? size : size + QLatin1Char('\n') + details);
        cards_[i]->setAccessibleDescription(checks_[i]->accessibleDescription());
    }
}

void CacheView::refreshState()
{
    const CacheModel& m = *model_;
    total_->setText(m.isScanning() ? QStringLiteral("計測中…") : QString::number(m.selectedTotal()) + QStringLiteral(" MB 以上"));
    scanButton_->setEnabled(m.canScan());
    const QString cleanText = m.isCleaning() ? QStringLiteral("クリーン中…") : QStringLiteral("クリーンアップ！");
    cleanButton_->setText(cleanText);
    cleanButton_->setAccessibleName(cleanText);
    cleanButton_->setEnabled(m.canClean());
    helperButton_->setEnabled(m.canChangeHelper());
}

void CacheView::refreshHelperCard()
{
    const CleanerHelperStatus status = CleanerHelper::shared().status();
    const bool installed = status == CleanerHelperStatus::installed;
    helperSymbol_->setSymbol(installed ? QStringLiteral("touchid") : QStringLiteral("lock.shield"));
    helperSymbol_->setColor(installed ? SystemColor::green() : SystemColor::orange());
    helperTitle_->setText(CacheModel::helperTitle(status));
    helperSubtitle_->setText(CacheModel::helperSubtitle(status, AuthorizationManager::shared().canUseTouchID()));
    const QString button = CacheModel::helperButton(status);
    helperButton_->setText(button);
    helperButton_->setAccessibleName(button);
    if (installed)
        ThemeStyle::makePlain(helperButton_);
    else
        ThemeStyle::makeProminent(helperButton_, SystemColor::green());
}

void CacheView::askSetupQuestion()
{
    if (prompt_)
        return;
    auto* box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Question);
    box->setWindowTitle(QStringLiteral("Touch ID だけで削除できるようにしますか？"));
    box->setText(QStringLiteral("Touch ID だけで削除できるようにしますか？"));
    box->setInformativeText(QStringLiteral("最初の1回だけ管理者パスワードを入力すると、次回からはシステム領域の一時ファイルも Touch ID だけで削除できるようになります。"));
    QPushButton* setup = box->addButton(QStringLiteral("セットアップして実行"), QMessageBox::AcceptRole);
    QPushButton* password = box->addButton(QStringLiteral("今回はパスワードで実行"), QMessageBox::AcceptRole);
    QPushButton* cancel = box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    for (QPushButton* b : {setup, password, cancel})
        b->setAccessibleName(b->text());
    box->setDefaultButton(setup);
    box->setEscapeButton(cancel);
    std::weak_ptr<CacheModel> weak = model_;
    connect(box, &QMessageBox::buttonClicked, this, [weak, setup, password](QAbstractButton* clicked) {
        auto model = weak.lock();
        if (!model)
            return;
        model->setShowSetupPrompt(false);
        if (clicked == setup)
            model->setupAndClean();
        else if (clicked == password)
            model->clean(PrivilegeMode::password);
    });
    connect(box, &QMessageBox::finished, this, [weak] {
        if (auto model = weak.lock())
            model->setShowSetupPrompt(false);
    });
    prompt_ = box;
    box->open();
}

void CacheView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    CacheModel::appear(model_, appearance_.ticket());
}

void CacheView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;   // the window was minimised; the screen is still the one shown
    appearance_.end();
    appeared_ = false;
}
