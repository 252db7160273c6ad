#include "app/ui/ContentView.h"

#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/SidebarView.h"
#include "app/ui/ThemeStyle.h"
#include "app/ui/ToastView.h"
#include "backup/ui/BackupView.h"
#include "cleanup/ui/CacheView.h"
#include "cleanup/ui/IntelAppsView.h"
#include "cleanup/ui/UninstallerView.h"
#include "diagnostics/ui/DashboardView.h"
#include "diagnostics/ui/NetworkView.h"
#include "diagnostics/ui/StartupItemsView.h"
#include "diagnostics/ui/StorageView.h"
#include "diagnostics/ui/SysInfoView.h"
#include "exec/AuthorizationManager.h"
#include "installer/ui/InstallerView.h"
#include "permissions/PermissionManager.h"
#include "permissions/ui/FullDiskAccessGuideSheet.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPointer>
#include <QPropertyAnimation>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The column divider: a hairline in the theme's separator colour.
class HairlineHandle final : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::separator(ThemeManager::shared().currentTheme()));
    }
};

class ColumnSplitter final : public QSplitter {
public:
    using QSplitter::QSplitter;

protected:
    QSplitterHandle* createHandle() override { return new HairlineHandle(orientation(), this); }
};

} // namespace

ContentView::ContentView(QWidget* parent) : QWidget(parent), section_(AppState::shared().selectedSection())
{
    setObjectName(QStringLiteral("contentView"));
    ThemeStyle::followTheme(this);

    sidebar_ = new SidebarView(this);

    detailHost_ = new QWidget(this);
    detailHost_->setObjectName(QStringLiteral("detailColumn"));
    detailLayout_ = new QVBoxLayout(detailHost_);
    detailLayout_->setContentsMargins(0, 0, 0, 0);
    detailLayout_->setSpacing(0);

    splitter_ = new ColumnSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("columns"));
    splitter_->setHandleWidth(1);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(sidebar_);
    splitter_->addWidget(detailHost_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({SidebarView::idealColumnWidth, 10000});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splitter_);

    showDetail(section_);

    // The banner floats above everything and is placed by hand, outside the layout.
    toast_ = new ToastView(this);
    toast_->setObjectName(QStringLiteral("toast"));
    toastOpacity_ = new QGraphicsOpacityEffect(toast_);
    toastOpacity_->setOpacity(0.0);
    toast_->setGraphicsEffect(toastOpacity_);
    toast_->hide();
    toastMove_ = new QPropertyAnimation(toast_, "pos", this);
    toastFade_ = new QPropertyAnimation(toastOpacity_, "opacity", this);
    toastAnimation_ = new QParallelAnimationGroup(this);
    toastAnimation_->addAnimation(toastMove_);
    toastAnimation_->addAnimation(toastFade_);
    connect(toastAnimation_, &QAbstractAnimation::finished, this, [this] {
        if (!toastPresented_)
            toast_->hide();
    });

    AppState& state = AppState::shared();
    connect(&state, &AppState::selectedSectionChanged, this, [this](SidebarSection section) {
        if (section != section_ || !detail_)
            showDetail(section);
    });
    connect(&state, &AppState::globalMessageChanged, this, [this] { updateToast(); });
    connect(&state, &AppState::showFullDiskAccessAlertChanged, this, [this](bool show) {
        if (show)
            showFullDiskAccessSheet();
    });
    connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [this] {
        update();
        splitter_->update();
    });
    updateToast();
}

QWidget* ContentView::detailView(SidebarSection section, QWidget* parent)
{
    switch (section) {
    case SidebarSection::dashboard:
        return new DashboardView(parent);
    case SidebarSection::uninstaller:
        return new UninstallerView(parent);
    case SidebarSection::intelApps:
        return new IntelAppsView(parent);
    case SidebarSection::cache:
        return new CacheView(parent);
    case SidebarSection::storage:
        return new StorageView(parent);
    case SidebarSection::network:
        return new NetworkView(parent);
    case SidebarSection::sysinfo:
        return new SysInfoView(parent);
    case SidebarSection::startup:
        return new StartupItemsView(parent);
    case SidebarSection::backup:
        return new BackupView(parent);
    case SidebarSection::installer:
        return new InstallerView(parent);
    }
    Q_UNREACHABLE();
    return nullptr;
}

void ContentView::showDetail(SidebarSection section)
{
    section_ = section;
    if (detail_) {
        // The old screen may be the one asking for the switch (a shortcut button's click is
        // still on the stack), so it goes away once control is back in the event loop.
        detailLayout_->removeWidget(detail_);
        detail_->hide();
        detail_->deleteLater();
    }
    detail_ = detailView(section, detailHost_);
    detailLayout_->addWidget(detail_);
    detail_->show();
    emit detailChanged(detail_);
}

void ContentView::showFullDiskAccessSheet()
{
    // Closing the sheet (either button or otherwise) sets AppState::showFullDiskAccessAlert
    // back to false.
    if (guideSheet_)
        return;
    guideSheet_ = FullDiskAccessGuideSheet::present(this, PermissionManager::shared());
}

QCoro::Task<> ContentView::startupTask()
{
    // The authorization step, then the Full Disk Access check, which may ask for the guide
    // one second later through AppState::setShowFullDiskAccessAlert(true).
    QPointer<ContentView> self(this);
    co_await AuthorizationManager::shared().runStartupStep();
    if (!self)
        co_return;
    PermissionManager::shared().runStartupStep();
    emit startupFinished();
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!startupStarted_) {
        startupStarted_ = true;
        QTimer::singleShot(0, this, [this] { startupTask(); });
        // A guide requested before the window first appeared is shown now.
        if (AppState::shared().showFullDiskAccessAlert())
            showFullDiskAccessSheet();
    }
}

void ContentView::paintEvent(QPaintEvent*)
{
    ThemeStyle::paintBackground(this);
}

void ContentView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (toast_->isVisible()) {
        if (toastAnimation_->state() == QAbstractAnimation::Running)
            toastMove_->setEndValue(toastPresented_ ? toastShownPosition() : toastHiddenPosition());
        else
            toast_->move(toastShownPosition());
    }
}

QPoint ContentView::toastShownPosition() const
{
    // The banner's card (not its shadow margin) sits 8 points below the top edge.
    return {(width() - toast_->width()) / 2, toastTopMargin - toast_->shadowMargins().top()};
}

QPoint ContentView::toastHiddenPosition() const
{
    return {(width() - toast_->width()) / 2, -toast_->height()};
}

void ContentView::updateToast()
{
    const AppState& state = AppState::shared();
    const std::optional<QString> message = state.globalMessage();
    if (message) {
        toast_->setMessage(*message, state.globalMessageIsError());
        toast_->adjustSize();
        toast_->raise();
        if (toastPresented_) {
            // A new text while the banner is up: it stays and recentres for its new width.
            if (toastAnimation_->state() == QAbstractAnimation::Running)
                toastMove_->setEndValue(toastShownPosition());
            else
                toast_->move(toastShownPosition());
            toast_->announce();
            return;
        }
        toastPresented_ = true;
        toastAnimation_->stop();
        if (!toast_->isVisible()) {
            toast_->move(toastHiddenPosition());
            toastOpacity_->setOpacity(0.0);
            toast_->show();
        }
        toastMove_->setStartValue(toast_->pos());
        toastMove_->setEndValue(toastShownPosition());
        toastMove_->setEasingCurve(QEasingCurve(QEasingCurve::OutBack));
        toastMove_->setDuration(toastAnimationMs);
        toastFade_->setStartValue(toastOpacity_->opacity());
        toastFade_->setEndValue(1.0);
        toastFade_->setEasingCurve(QEasingCurve(QEasingCurve::OutCubic));
        toastFade_->setDuration(toastAnimationMs);
        toastAnimation_->start();
        toast_->announce();
        return;
    }
    if (!toastPresented_)
        return;
    toastPresented_ = false;
    toastAnimation_->stop();
    toastMove_->setStartValue(toast_->pos());
    toastMove_->setEndValue(toastHiddenPosition());
    toastMove_->setEasingCurve(QEasingCurve(QEasingCurve::InCubic));
    toastMove_->setDuration(toastAnimationMs);
    toastFade_->setStartValue(toastOpacity_->opacity());
    toastFade_->setEndValue(0.0);
    toastFade_->setEasingCurve(QEasingCurve(QEasingCurve::InCubic));
    toastFade_->setDuration(toastAnimationMs);
    toastAnimation_->start();
}
