#pragma once

#include "app/SidebarSection.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <qcoro/qcorotask.h>

class QGraphicsOpacityEffect;
class QParallelAnimationGroup;
class QPropertyAnimation;
class QSplitter;
class QVBoxLayout;
class SidebarView;
class ToastView;

// The window's content, from back to front: the theme's background gradient, the sidebar
// and the detail column with the selected screen, and the message banner.
class ContentView : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(QWidget* parent = nullptr);

    static constexpr int toastTopMargin = 8;        // from the window's top edge to the banner
    static constexpr int toastAnimationMs = 300;

    // A new screen for the section. Each call builds a fresh one, so a screen that is shown
    // again starts from its initial values.
    static QWidget* detailView(SidebarSection section, QWidget* parent = nullptr);

    QWidget* currentDetail() const { return detail_; }
    SidebarSection currentSection() const { return section_; }
    SidebarView* sidebar() const { return sidebar_; }
    QSplitter* splitter() const { return splitter_; }
    ToastView* toast() const { return toast_; }
    // Whether the banner is showing or on its way in (false while it leaves).
    bool isToastPresented() const { return toastPresented_; }

    // Shows the Full Disk Access guide as a sheet over the window; bound to
    // AppState::showFullDiskAccessAlert becoming true.
    void showFullDiskAccessSheet();

    // The start-up work, run once when the content is first shown.
    QCoro::Task<> startupTask();

signals:
    void detailChanged(QWidget* detail);
    void startupFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showDetail(SidebarSection section);
    void updateToast();
    QPoint toastShownPosition() const;
    QPoint toastHiddenPosition() const;

    SidebarView* sidebar_;
    QSplitter* splitter_;
    QWidget* detailHost_;
    QVBoxLayout* detailLayout_;
    QPointer<QWidget> detail_;
    QPointer<QDialog> guideSheet_;
    SidebarSection section_;
    ToastView* toast_;
    QGraphicsOpacityEffect* toastOpacity_;
    QParallelAnimationGroup* toastAnimation_;
    QPropertyAnimation* toastMove_;
    QPropertyAnimation* toastFade_;
    bool toastPresented_ = false;
    bool startupStarted_ = false;
};
