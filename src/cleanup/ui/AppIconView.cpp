#include "cleanup/ui/AppIconView.h"

#include "platform/Workspace.h"

#include <QPainter>

AppIconView::AppIconView(const QString& path, int size, QWidget* parent) : QWidget(parent), size_(size)
{
    setFixedSize(size, size);
    setPath(path);
}

void AppIconView::setPath(const QString& path)
{
    path_ = path;
    icon_ = path.isEmpty() ? QIcon() : platform::Workspace::shared().iconForFile(path);
    update();   // no accessible name: the application's name stands beside its icon
}

void AppIconView::paintEvent(QPaintEvent*)
{
    if (icon_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    icon_.paint(&painter, rect(), Qt::AlignCenter);
}
