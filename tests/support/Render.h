#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class QWidget;

// Offscreen rendering for view tests.
// Resizes and shows the widget, lets the event loop run twice so that layouts and queued
// updates settle, then grabs it. A widget with a fixed size keeps its own size.
QImage renderOffscreen(QWidget* widget, QSize size);

// Whether the image shows nothing: null, empty, or (almost) every pixel the same colour.
bool looksBlank(const QImage& image);

// Saves the image when the environment variable TESSARIN_RENDER_DIR names a folder, as
// <folder>/<name>.png, so a developer can look at what a test drew. Returns the path or "".
QString saveIfRequested(const QImage& image, const QString& name);
