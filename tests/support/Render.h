#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

// Shows the widget at `size` (unless invalid), lets layouts settle, and grabs it.
inline QImage renderOffscreen(QWidget* widget, QSize size)
{
    if (size.isValid())
        widget->resize(size);
    widget->show();
    // Posted layout requests and the updates they trigger need two rounds.
    for (int round = 0; round < 2; ++round)
        QCoreApplication::sendPostedEvents(), QCoreApplication::processEvents();
    return widget->grab().toImage();
}

// Null, empty, or all but a sliver of the pixels near the first one's colour.
inline bool looksBlank(const QImage& image)
{
    if (image.isNull())
        return true;
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

// Saves <$TESSARIN_RENDER_DIR>/<name>.png when that variable is set; returns the path or "".
inline QString saveIfRequested(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("TESSARIN_RENDER_DIR");
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    return !folder.isEmpty() && !image.isNull() && QDir().mkpath(folder) && image.save(path) ? path : QString();
}
