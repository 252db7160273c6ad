#include "diagnostics/ui/SysInfoView.h"

#include "app/AppTheme.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/SymbolView.h"
#include "app/ui/ThemeStyle.h"
#include "diagnostics/SysInfoModel.h"
#include "platform/ui/SavePanel.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

InfoSectionView::InfoSectionView(const InfoSection& section, QWidget* parent) : QWidget(parent)
{
    using namespace ThemeStyle;
    auto* card = new LiquidGlassCard(14, false, this);
    column(this, 0)->addWidget(card);
    QVBoxLayout* layout = column(card, 8, cardPadding);
    QHBoxLayout* heading = row(nullptr, 8);
    heading->addWidget(new SymbolView(section.icon, 16, section.color, card));
    heading->addWidget(label(section.title, 15, QFont::DemiBold, Tone::primary, card), 1);
    layout->addLayout(heading);
    layout->addWidget(divider(card));
    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(8);
    rows->setVerticalSpacing(6);
    rows->setColumnMinimumWidth(0, 140);
    rows->setColumnStretch(1, 1);
    for (int i = 0; i < section.rows.size(); ++i) {
        QLabel* key = label(section.rows[i].key, 11, QFont::Bold, Tone::secondary, card);
        key->setFixedWidth(140);
        rows->addWidget(key, i, 0, Qt::AlignTop);
        QLabel* value = label(section.rows[i].value, 11, QFont::Normal, Tone::primary, card);
        value->setFont(monospaced(11));
        value->setWordWrap(true);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        value->setAccessibleName(section.rows[i].key);
        value->setAccessibleDescription(section.rows[i].value);
        rows->addWidget(value, i, 1);
    }
    layout->addLayout(rows);
    setAccessibleName(section.title);
}

SysInfoView::SysInfoView(QWidget* parent) : QWidget(parent), model_(std::make_shared<SysInfoModel>())
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("SysInfoView"));
    QVBoxLayout* layout = scrollingPage(this, QMargins(24, 20, 24, 20), 12);
    QWidget* body = layout->parentWidget();

    auto* header = new SectionHeader(QStringLiteral("システム情報"), QStringLiteral("ハードウェア・OS・温度・メモリのレポート"),
                                     QStringLiteral("info.circle.fill"), SystemColor::gray(), body);
    save_ = new QPushButton(QStringLiteral("レポートを保存"), header);
    save_->setAccessibleName(QStringLiteral("レポートを保存"));
    save_->setCursor(Qt::PointingHandCursor);
    header->addTrailingWidget(save_);
    layout->addWidget(header);

    loading_ = new QWidget(body);
    QHBoxLayout* loadingRow = row(loading_, 8);
    loadingRow->addStretch(1);
    loadingRow->addWidget(new ActivityIndicator(20, loading_));
    loadingRow->addWidget(label(QStringLiteral("取得中…"), 13, QFont::Normal, Tone::secondary, loading_));
    loadingRow->addStretch(1);
    layout->addWidget(loading_);

    sections_ = new QWidget(body);
    sectionsLayout_ = column(sections_, 12);
    layout->addWidget(sections_);
    layout->addStretch(1);

    connect(save_, &QPushButton::clicked, this, &SysInfoView::saveReport);
    connect(model_.get(), &SysInfoModel::changed, this, &SysInfoView::refresh);
    refresh();
}

SysInfoView::~SysInfoView()
{
    appearance_.end();
}

void SysInfoView::refresh()
{
    const SysInfoModel& m = *model_;
    loading_->setVisible(m.isLoading());
    sections_->setVisible(!m.isLoading());
    save_->setEnabled(!m.info().isEmpty());
    while (QLayoutItem* item = sectionsLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const InfoSection& section : m.info())
        sectionsLayout_->addWidget(new InfoSectionView(section, sections_));
}

void SysInfoView::saveReport()
{
    const QString proposed = SysInfoModel::proposedFileName(QDateTime::currentDateTimeUtc());
    const QString path = platform::SavePanel::shared().chooseTextFile(this, proposed);
    if (path.isEmpty())
        return;
    // Neither success nor failure is announced; a failed write keeps any old file whole.
    SysInfoModel::writeReport(path, model_->reportText());
}

void SysInfoView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    SysInfoModel::load(model_, appearance_.ticket());
}

void SysInfoView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    appearance_.end();
    appeared_ = false;
}
