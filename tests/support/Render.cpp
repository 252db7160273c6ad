#include "support/Render.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

QImage renderOffscreen(QWidget* widget, QSize size)
{
    if (!widget)
        return QImage();
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
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb reference = pixels.pixel(0, 0);
    auto differs = [reference](QRgb px) {
        constexpr int tolerance = 12;
        return qAbs(qRed(px) - qRed(reference)) > tolerance || qAbs(qGreen(px) - qGreen(reference)) > tolerance
            || qAbs(qBlue(px) - qBlue(reference)) > tolerance || qAbs(qAlpha(px) - qAlpha(reference)) > tolerance;
    };
    qint64 different = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            different += differs(line[x]) ? 1 : 0;
    }
    // A gradient alone changes slowly; content is anything that stands out from the first
    // pixel over more than a sliver of the image.
    const qint64 total = qint64(pixels.width()) * pixels.height();
    return different * 1000 < total;
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
