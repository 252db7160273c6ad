#include "support/Render.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

QImage renderOffscreen(QWidget* widget, QSize size)
{
    if (size.isValid())
        widget->resize(size);
    widget->show();
    // A grab in the same pass as a change shows the old layout; two rounds let posted
    // layout requests and the updates they trigger run.
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    return widget->grab().toImage();
}

bool looksBlank(const QImage& image)
{
    if (image.isNull() || image.width() == 0 || image.height() == 0)
        return true;
    // Content is anything that stands out from the first pixel over more than a sliver of the
    // image; a gradient alone changes slowly.
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = pixels.pixel(0, 0);
    qint64 different = 0;
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x) {
            const QRgb px = pixels.pixel(x, y);
            different += std::max({qAbs(qRed(px) - qRed(first)), qAbs(qGreen(px) - qGreen(first)), qAbs(qBlue(px) - qBlue(first)),
                                   qAbs(qAlpha(px) - qAlpha(first))}) > 12;
        }
    return different * 1000 < qint64(pixels.width()) * pixels.height();
}

QString saveIfRequested(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("TESSARIN_RENDER_DIR");
    if (folder.isEmpty() || image.isNull())
        return QString();
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    return image.save(path) ? path : QString();
}
