#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

// Shows the widget at `size` (unless it has a fixed one), lets layouts settle, and grabs it.
QImage renderOffscreen(QWidget* widget, QSize size);
// Null, empty, or (almost) every pixel the colour of the first.
bool looksBlank(const QImage& image);
// Saves <$TESSARIN_RENDER_DIR>/<name>.png when that variable is set; returns the path or "".
QString saveIfRequested(const QImage& image, const QString& name);
