#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLabel;
class QTimer;

// An application's icon, as the workspace gives it for the file at `path`, drawn in a
// `size` x `size` frame.
class AppIconView : public QWidget {
    Q_OBJECT
public:
    AppIconView(const QString& path, int size, QWidget* parent = nullptr);

    QString path() const { return path_; }
    int iconSize() const { return size_; }
    void setPath(const QString& path);
    QIcon icon() const { return icon_; }

    QSize sizeHint() const override { return {size_, size_}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString path_;
    int size_;
    QIcon icon_;
};

// The spinning indicator shown while something runs: twelve spokes fading round, turning
// only while visible.
class ActivityIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ActivityIndicator(int size = 20, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {size_, size_}; }
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool isAnimating() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int size_;
    int step_ = 0;
    QTimer* timer_;
};

// Small pieces the cleanup screens share.
namespace CleanupStyle {

// Keeps the label's text colour at `color()` now and after every theme change.
void tintText(QWidget* widget, std::function<QColor()> color);
// The theme's secondary text colour.
QColor secondaryText();
// A plain-text label in the given font size and weight; `secondary` for the secondary colour.
QLabel* label(const QString& text, int pixelSize, QFont::Weight weight = QFont::Normal, bool secondary = false,
              QWidget* parent = nullptr);
// The filled "prominent" look of a button in `color` (the theme's accent when invalid).
void makeProminent(QAbstractButton* button, const QColor& color = QColor());
// A thin horizontal line in the theme's separator colour.
QWidget* divider(QWidget* parent = nullptr);
// Small monospaced type for paths and logs.
QFont monospaced(int pixelSize = 11);

} // namespace CleanupStyle
