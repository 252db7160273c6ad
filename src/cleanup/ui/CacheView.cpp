#include "cleanup/ui/CacheView.h"

#include "app/AppTheme.h"
#include "app/SidebarSection.h"
#include "app/ThemeManager.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "cleanup/CacheModel.h"
#include "exec/AuthorizationManager.h"
#include "exec/CleanerHelper.h"
#include "platform/Symbols.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// One group: its symbol, name and size, a checkbox, and a border in its colour while chosen.
class CategoryCard final : public LiquidGlassCard {
public:
    CategoryCard(const QColor& color, QWidget* parent) : LiquidGlassCard(14, true, parent), color_(color) {}
    void setSelected(bool selected)
    {
        if (selected_ == selected)
            return;
        selected_ = selected;
        update();
    }
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        LiquidGlassCard::paintEvent(event);
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
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
            onClick();
        LiquidGlassCard::mouseReleaseEvent(event);
    }

private:
    QColor color_;
    bool selected_ = false;
};

QString prominentStyle(const QColor& color)
{
    return QStringLiteral("QPushButton { background-color: %1; color: white; border: none; border-radius: 7px;"
                          " padding: 6px 14px; font-weight: 600; }"
                          "QPushButton:disabled { background-color: %2; color: rgba(255,255,255,170); }")
        .arg(color.name(), QColor(color.red(), color.green(), color.blue(), 110).name(QColor::HexArgb));
}

QLabel* label(const QString& text, int size, QFont::Weight weight, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(ThemeStyle::font(size, weight));
    return l;
}

} // namespace

CacheView::CacheView(QWidget* parent) : QWidget(parent), model_(std::make_shared<CacheModel>())
{
    setObjectName(QStringLiteral("CacheView"));
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
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(8);

    layout->addWidget(new SectionHeader(QStringLiteral("キャッシュ削除"),
                                        QStringLiteral("不要なキャッシュや一時ファイルを一括でクリーンアップ"),
                                        QStringLiteral("internaldrive.fill"), Sections::color(SidebarSection::cache), body));

    // The Touch ID card.
    auto* helperCard = new LiquidGlassCard(14, false, body);
    auto* helperRow = new QHBoxLayout(helperCard);
    helperRow->setContentsMargins(16, 12, 16, 12);
    helperRow->setSpacing(12);
    helperSymbol_ = new SymbolView(QStringLiteral("lock.shield"), 28, SystemColor::orange(), helperCard);
    helperRow->addWidget(helperSymbol_, 0, Qt::AlignVCenter);
    auto* helperTexts = new QVBoxLayout;
    helperTexts->setSpacing(2);
    helperTitle_ = label(QString(), 14, QFont::DemiBold, helperCard);
    helperSubtitle_ = label(QString(), 11, QFont::Normal, helperCard);
    helperSubtitle_->setWordWrap(true);
    helperTexts->addWidget(helperTitle_);
    helperTexts->addWidget(helperSubtitle_);
    helperRow->addLayout(helperTexts, 1);
    helperButton_ = new QPushButton(helperCard);
    helperButton_->setCursor(Qt::PointingHandCursor);
    helperRow->addWidget(helperButton_, 0, Qt::AlignVCenter);
    layout->addWidget(helperCard);

    // The groups.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    buildCategoryGrid(grid);
    layout->addLayout(grid);

    // The summary bar.
    auto* summary = new LiquidGlassCard(14, false, body);
    auto* summaryRow = new QHBoxLayout(summary);
    summaryRow->setContentsMargins(16, 12, 16, 12);
    summaryRow->setSpacing(10);
    auto* totals = new QVBoxLayout;
    totals->setSpacing(2);
    totalCaption_ = label(QStringLiteral("選択中の推定サイズ"), 11, QFont::Normal, summary);
    total_ = label(QString(), 20, QFont::Bold, summary);
    totals->addWidget(totalCaption_);
    totals->addWidget(total_);
    summaryRow->addLayout(totals, 1);
    scanButton_ = new QPushButton(platform::symbolIcon(QStringLiteral("arrow.clockwise")), QStringLiteral("サイズ計測"), summary);
    scanButton_->setAccessibleName(QStringLiteral("サイズ計測"));
    scanButton_->setCursor(Qt::PointingHandCursor);
    summaryRow->addWidget(scanButton_, 0, Qt::AlignVCenter);
    cleanButton_ = new QPushButton(platform::symbolIcon(QStringLiteral("sparkles")), QString(), summary);
    cleanButton_->setFixedWidth(140);
    cleanButton_->setCursor(Qt::PointingHandCursor);
    summaryRow->addWidget(cleanButton_, 0, Qt::AlignVCenter);
    layout->addWidget(summary);

    // The log.
    auto* logCard = new LiquidGlassCard(14, false, body);
    auto* logLayout = new QVBoxLayout(logCard);
    logLayout->setContentsMargins(16, 12, 16, 12);
    logLayout->setSpacing(6);
    logHeading_ = label(QStringLiteral("ログ"), 13, QFont::DemiBold, logCard);
    logLayout->addWidget(logHeading_);
    log_ = new QPlainTextEdit(logCard);
    log_->setReadOnly(true);
    log_->setFixedHeight(160);
    log_->setFrameShape(QFrame::NoFrame);
    log_->setAccessibleName(QStringLiteral("ログ"));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(11);
    log_->setFont(mono);
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
    connect(model, &CacheModel::logChanged, this, &CacheView::refreshLog);
    connect(model, &CacheModel::setupPromptChanged, this, [this](bool show) {
        if (show)
            askSetupQuestion();
    });
    connect(&CleanerHelper::shared(), &CleanerHelper::statusChanged, this, &CacheView::refreshHelperCard);
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, &CacheView::applyTheme);

    refreshCategories();
    refreshHelperCard();
    refreshState();
    applyTheme();
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
        auto* row = new QHBoxLayout(card);
        row->setContentsMargins(12, 10, 10, 10);
        row->setSpacing(8);
        auto* symbol = new SymbolView(c.icon, 22, c.color, card);
        symbol->setFixedWidth(36);
        row->addWidget(symbol, 0, Qt::AlignVCenter);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        auto* name = label(c.name, 13, QFont::DemiBold, card);
        auto* size = label(QString(), 11, QFont::Normal, card);
        texts->addWidget(name);
        texts->addWidget(size);
        row->addLayout(texts, 1);
        auto* check = new QCheckBox(card);
        check->setAccessibleName(c.name);
        check->setToolTip(c.name);
        row->addWidget(check, 0, Qt::AlignVCenter);
        CacheModel* model = model_.get();
        connect(check, &QCheckBox::toggled, this, [model, i](bool on) { model->setSelected(i, on); });
        card->onClick = [check] { check->toggle(); };
        grid->addWidget(card, i / columns, i % columns);
        cards_ << card;
        checks_ << check;
        names_ << name;
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
    helperButton_->setStyleSheet(installed ? QString() : prominentStyle(SystemColor::green()));
}

void CacheView::refreshLog()
{
    const QStringList& lines = model_->log();
    if (lines.size() == shownLogLines_ + 1 && shownLogLines_ > 0) {
        log_->appendPlainText(lines.last());
    } else {
        log_->setPlainText(lines.join(QLatin1Char('\n')));
    }
    shownLogLines_ = int(lines.size());
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void CacheView::applyTheme()
{
    const AppTheme theme = ThemeManager::shared().currentTheme();
    const QColor secondary = Theme::secondaryText(theme);
    auto setColor = [](QWidget* w, const QColor& color) {
        QPalette p = w->palette();
        p.setColor(QPalette::WindowText, color);
        p.setColor(QPalette::Text, color);
        w->setPalette(p);
    };
    for (QLabel* size : std::as_const(sizes_))
        setColor(size, secondary);
    setColor(helperSubtitle_, secondary);
    setColor(totalCaption_, secondary);
    setColor(log_, Theme::primaryText(theme));
    QPalette logPalette = log_->palette();
    logPalette.setColor(QPalette::Base, Qt::transparent);
    log_->setPalette(logPalette);
    log_->viewport()->setAutoFillBackground(false);
    cleanButton_->setStyleSheet(prominentStyle(Theme::accentColor(theme)));
    refreshHelperCard();
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
