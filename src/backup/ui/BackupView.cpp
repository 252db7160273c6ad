#include "backup/ui/BackupView.h"

#include "app/AppTheme.h"
#include "app/SidebarSection.h"
#include "app/ui/LiquidGlassCard.h"
#include "app/ui/SectionHeader.h"
#include "app/ui/ThemeStyle.h"
#include "backup/BackupModel.h"
#include "platform/FolderChoice.h"
#include "platform/Symbols.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

using ThemeStyle::Tone;

namespace {

QPushButton* button(const QString& text, QWidget* parent, const QString& symbol = QString())
{
    auto* b = symbol.isEmpty() ? new QPushButton(text, parent) : new QPushButton(platform::symbolIcon(symbol), text, parent);
    b->setAccessibleName(text);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

// A titled group on a card; returns the card and puts the group's column into `body`.
LiquidGlassCard* group(const QString& title, QWidget* parent, QVBoxLayout** body)
{
    auto* card = new LiquidGlassCard(14, false, parent);
    QVBoxLayout* layout = ThemeStyle::column(card, 8, ThemeStyle::cardPadding);
    layout->addWidget(ThemeStyle::label(title, 13, QFont::DemiBold, Tone::primary, card));
    *body = layout;
    return card;
}

} // namespace

BackupView::BackupView(QWidget* parent) : QWidget(parent), model_(std::make_shared<BackupModel>())
{
    using namespace ThemeStyle;
    setObjectName(QStringLiteral("BackupView"));
    QVBoxLayout* layout = scrollingPage(this, QMargins(24, 20, 24, 20), 12);
    QWidget* body = layout->parentWidget();
    layout->addWidget(new SectionHeader(QStringLiteral("バックアップ"), QStringLiteral("Time Machine連携 / カスタムフルバックアップ"),
                                        QStringLiteral("externaldrive.fill.badge.timemachine"),
                                        Sections::color(SidebarSection::backup), body));

    // The segmented method picker.
    auto* picker = new QWidget(body);
    picker->setAccessibleName(QStringLiteral("バックアップ方法"));
    QHBoxLayout* pickerRow = row(picker, 0);
    auto* methodGroup = new QButtonGroup(picker);
    for (BackupMethod method : allBackupMethods()) {
        QPushButton* segment = button(rawValue(method), picker);
        segment->setCheckable(true);
        segment->setAccessibleDescription(QStringLiteral("バックアップ方法"));
        methodGroup->addButton(segment, int(method));
        pickerRow->addWidget(segment, 1);
        methods_ << segment;
    }
    layout->addWidget(picker);

    panels_ = new QStackedWidget(body);
    panels_->addWidget(buildTimeMachinePanel());
    panels_->addWidget(buildCustomPanel());
    layout->addWidget(panels_);
    layout->addStretch(1);

    BackupModel* model = model_.get();
    connect(methodGroup, &QButtonGroup::idClicked, this, [model](int id) { model->setSelectedMethod(BackupMethod(id)); });
    connect(model, &BackupModel::changed, this, &BackupView::refresh);
    connect(model, &BackupModel::logChanged, this, [this] {
        logGroup_->setVisible(!model_->log().isEmpty());
        ThemeStyle::showLog(log_, model_->visibleLog());
    });
    refresh();
    logGroup_->setVisible(false);
}

BackupView::~BackupView()
{
    appearance_.end();
}

QWidget* BackupView::buildTimeMachinePanel()
{
    using namespace ThemeStyle;
    auto* panel = new QWidget(panels_);
    QVBoxLayout* column = ThemeStyle::column(panel, 12);
    QVBoxLayout* statusBody = nullptr;
    column->addWidget(group(QStringLiteral("Time Machineの状態"), panel, &statusBody));
    for (const QString& name : {QStringLiteral("バックアップ状態"), QStringLiteral("最終バックアップ"), QStringLiteral("バックアップ先")}) {
        QHBoxLayout* line = row(nullptr, 8);
        QLabel* caption = label(name, 11, QFont::Bold, Tone::secondary, panel);
        caption->setFixedWidth(130);
        line->addWidget(caption);
        QLabel* value = label(QString(), 11, QFont::Normal, Tone::primary, panel);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        line->addWidget(value);
        line->addStretch(1);
        statusBody->addLayout(line);
        statusValues_ << value;
    }

    QHBoxLayout* actions = row(nullptr, 8);
    startTM_ = button(QStringLiteral("今すぐバックアップ"), panel);
    makeProminent(startTM_, SystemColor::purple());
    settings_ = button(QStringLiteral("Time Machine設定を開く"), panel);
    refresh_ = button(QStringLiteral("詳細状態を更新"), panel);
    tmIndicator_ = new ActivityIndicator(16, panel);
    for (QWidget* w : std::initializer_list<QWidget*>{startTM_, settings_, refresh_, tmIndicator_})
        actions->addWidget(w);
    actions->addStretch(1);
    column->addLayout(actions);

    BackupModel* model = model_.get();
    connect(startTM_, &QPushButton::clicked, this, [model] { model->startTMBackup(); });
    connect(settings_, &QPushButton::clicked, this, [model] { model->openTimeMachineSettings(); });
    connect(refresh_, &QPushButton::clicked, this, [model] { model->refreshTMStatus(); });
    return panel;
}

QWidget* BackupView::buildCustomPanel()
{
    using namespace ThemeStyle;
    auto* panel = new QWidget(panels_);
    QVBoxLayout* column = ThemeStyle::column(panel, 12);
    BackupModel* model = model_.get();
    std::weak_ptr<BackupModel> weak = model_;

    // The folders.
    QVBoxLayout* sourceBody = nullptr;
    column->addWidget(group(QStringLiteral("ソース設定"), panel, &sourceBody));
    sourceBody->addWidget(label(QStringLiteral("バックアップ元"), 11, QFont::Normal, Tone::secondary, panel));
    auto folderRow = [&](QLineEdit*& field, QPushButton*& choose, const QString& placeholder, const QString& name,
                         void (BackupModel::*set)(const QString&)) {
        QHBoxLayout* line = row(nullptr, 8);
        field = new QLineEdit(panel);
        field->setPlaceholderText(placeholder);
        field->setAccessibleName(name);
        line->addWidget(field, 1);
        choose = button(QStringLiteral("選択"), panel);
        choose->setAccessibleDescription(name);
        line->addWidget(choose);
        sourceBody->addLayout(line);
        connect(field, &QLineEdit::textEdited, this, [model, set](const QString& text) { (model->*set)(text); });
        QLineEdit* target = field;
        connect(choose, &QPushButton::clicked, this, [this, weak, target, set] {
            platform::FolderChoice::shared().chooseFolder(this, target->text(), [weak, set](const QString& path) {
                if (auto m = weak.lock())
                    (m.get()->*set)(path);
            });
        });
    };
    folderRow(source_, chooseSource_, QStringLiteral("パス"), QStringLiteral("パス"), &BackupModel::setSourcePath);
    folderRow(destination_, chooseDestination_, QStringLiteral("保存先パス（例: /Volumes/ExternalDisk）"),
              QStringLiteral("保存先パス（例: /Volumes/ExternalDisk）"), &BackupModel::setDestinationPath);

    // The exclusions.
    QVBoxLayout* excludeBody = nullptr;
    column->addWidget(group(QStringLiteral("除外パス"), panel, &excludeBody));
    excludeList_ = new QWidget(panel);
    excludeRows_ = ThemeStyle::column(excludeList_, 4);
    excludeBody->addWidget(excludeList_);
    addExclude_ = button(QStringLiteral("+ 除外パスを追加"), panel);
    excludeBody->addWidget(addExclude_, 0, Qt::AlignLeft);
    connect(addExclude_, &QPushButton::clicked, this, [model] { model->addExcludePath(); });

    // The start button and the progress of the archive being written.
    startBackup_ = button(QStringLiteral("バックアップ開始"), panel, QStringLiteral("externaldrive.fill"));
    makeProminent(startBackup_, SystemColor::purple());
    column->addWidget(startBackup_);
    progress_ = label(QString(), 11, QFont::Normal, Tone::secondary, panel);
    progress_->setObjectName(QStringLiteral("backupProgress"));
    column->addWidget(progress_);
    connect(startBackup_, &QPushButton::clicked, this, [model] { model->runCustomBackup(); });

    // The log.
    QVBoxLayout* logBody = nullptr;
    logGroup_ = group(QStringLiteral("ログ"), panel, &logBody);
    log_ = ThemeStyle::logView(logGroup_);
    log_->setFixedHeight(160);
    logBody->addWidget(log_);
    column->addWidget(logGroup_);
    return panel;
}

void BackupView::rebuildExcludes()
{
    using namespace ThemeStyle;
    const QStringList entries = model_->excludePaths();
    if (entries == shownExcludes_)
        return;
    shownExcludes_ = entries;
    while (QLayoutItem* item = excludeRows_->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    removeButtons_.clear();
    std::weak_ptr<BackupModel> weak = model_;
    for (int i = 0; i < entries.size(); ++i) {
        auto* line = new QWidget(excludeList_);
        QHBoxLayout* lineLayout = row(line, 8);
        auto* remove = new QToolButton(line);
        remove->setIcon(QIcon(symbolPixmap(QStringLiteral("minus.circle.fill"), 16, SystemColor::red(), devicePixelRatioF())));
        remove->setAutoRaise(true);
        remove->setCursor(Qt::PointingHandCursor);
        remove->setAccessibleName(QStringLiteral("除外パスを削除: ") + entries[i]);
        connect(remove, &QToolButton::clicked, this, [weak, i] {
            if (auto m = weak.lock())
                m->removeExcludePath(i);
        });
        lineLayout->addWidget(remove);
        lineLayout->addWidget(label(entries[i], 12, QFont::Normal, Tone::primary, line), 1);
        excludeRows_->addWidget(line);
        removeButtons_ << remove;
    }
}

void BackupView::refresh()
{
    const BackupModel& m = *model_;
    const int index = m.selectedMethod() == BackupMethod::timeMachine ? 0 : 1;
    methods_[index]->setChecked(true);
    panels_->setCurrentIndex(index);
    // The stack takes the height of the panel shown, not of the tallest one.
    for (int i = 0; i < panels_->count(); ++i)
        panels_->widget(i)->setSizePolicy(QSizePolicy::Preferred, i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    panels_->adjustSize();

    const QStringList values{m.tmStatus(), m.tmLastBackup(), m.tmDestination()};
    for (int i = 0; i < statusValues_.size(); ++i) {
        statusValues_[i]->setText(values[i]);
        statusValues_[i]->setAccessibleName(values[i]);
    }
    startTM_->setEnabled(!m.isRunningTM());
    tmIndicator_->setVisible(m.isRunningTM());

    if (source_->text() != m.sourcePath())
        source_->setText(m.sourcePath());
    if (destination_->text() != m.destinationPath())
        destination_->setText(m.destinationPath());
    rebuildExcludes();
    const QString startText = m.isBackingUp() ? QStringLiteral("バックアップ中…") : QStringLiteral("バックアップ開始");
    startBackup_->setText(startText);
    startBackup_->setAccessibleName(startText);
    startBackup_->setEnabled(m.canStartCustomBackup());
    progress_->setText(m.backupProgress());
    progress_->setVisible(!m.backupProgress().isEmpty());
}

void BackupView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (appeared_)
        return;
    appeared_ = true;
    BackupModel::appear(model_, appearance_.ticket());
}

void BackupView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    appearance_.end();
    appeared_ = false;
}
