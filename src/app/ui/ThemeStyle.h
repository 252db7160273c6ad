#pragma once

#include "app/AppTheme.h"

#include <QDialog>
#include <QFont>
#include <QMargins>
#include <QPalette>
#include <QPixmap>

#include <functional>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QTimer;
class QVBoxLayout;

// The view style kit: every screen and sheet takes its fonts, text colours, labels, buttons,
// pages, logs and background from here, so that a theme looks the same on all of them and
// follows a change of theme without each view tracking it.
namespace ThemeStyle {

// The platform's text styles, in points: what a screen names by style rather than by size.
namespace TextStyle {
inline constexpr int largeTitle = 26;
inline constexpr int title = 22;
inline constexpr int title2 = 17;
inline constexpr int title3 = 15;
inline constexpr int headline = 13;
inline constexpr int body = 13;
inline constexpr int callout = 12;
inline constexpr int subheadline = 11;
inline constexpr int footnote = 10;
inline constexpr int caption = 10;
} // namespace TextStyle

// The interface font at a size in device-independent pixels ("points" of the layouts).
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);
// Small monospaced type for paths and logs.
QFont monospaced(int pixelSize = 11);

// A palette whose text, window and highlight colours follow the theme, so that every label
// inside a themed widget reads on the theme's background (light text on the dark theme).
QPalette palette(AppTheme theme, const QPalette& base);

// Applies palette(currentTheme) to `widget` now and again whenever the theme changes.
// Meant for top-level surfaces (window content, sheets); children inherit it.
void followTheme(QWidget* widget);

// Runs `apply` with the current theme now and after every change of theme while `context` lives.
void onTheme(QObject* context, std::function<void(AppTheme)> apply);

// The window's background: the theme's gradient, top-leading to bottom-trailing, over its
// opaque window colour. For the paint event of the window content and of sheets.
void paintBackground(QWidget* widget);

// The colours text comes in.
enum class Tone { primary, secondary, accent };
QColor color(Tone tone, AppTheme theme);
QColor color(Tone tone);   // in the current theme

// Keeps the widget's text (label, field or button text) in the tone, following the theme,
// or in one fixed colour. A later call replaces an earlier one.
void tintText(QWidget* widget, Tone tone);
void tintText(QWidget* widget, const QColor& color);

// A plain-text label in the interface font, in the tone; its accessible name is its text.
QLabel* label(const QString& text, int pixelSize, QFont::Weight weight = QFont::Normal, Tone tone = Tone::primary,
              QWidget* parent = nullptr);
// A file path in small monospaced type, wrapped and selectable.
QLabel* pathLabel(const QString& path, int pixelSize = 11, QWidget* parent = nullptr);

// The filled look of a screen's main action: white text on `color`, or on the theme's accent
// (following it) when `color` is invalid. `large` is a sheet's default button: taller, with a
// ring while it has the keyboard focus. makePlain() gives the platform's look back.
enum class ButtonSize { regular, large };
void makeProminent(QAbstractButton* button, const QColor& color = QColor(), ButtonSize size = ButtonSize::regular);
void makePlain(QAbstractButton* button);

// A thin horizontal line in the theme's separator colour.
QWidget* divider(QWidget* parent = nullptr);

// A row or column on `owner` (nested when null) with the spacing and the padding around it.
// Cards pad their content by cardPadding.
inline constexpr QMargins cardPadding{16, 12, 16, 12};
QHBoxLayout* row(QWidget* owner = nullptr, int spacing = -1, const QMargins& padding = QMargins());
QVBoxLayout* column(QWidget* owner = nullptr, int spacing = -1, const QMargins& padding = QMargins());

// A card that tells one thing and offers one action: the symbol, the title over a wrapped
// detail line, and the button at the trailing edge.
QWidget* noticeCard(QWidget* parent, QWidget* symbol, QLabel* title, QLabel* detail, QWidget* button);

// A frameless, vertically scrolling area through which the window's background shows.
QScrollArea* scrollArea(QWidget* parent);
// Puts a fresh page into the area and returns the page's column, padded by `margins`.
QVBoxLayout* pageIn(QScrollArea* area, const QMargins& margins, int spacing);
// The same, with the scrolling area filling all of `screen`.
QVBoxLayout* scrollingPage(QWidget* screen, const QMargins& margins, int spacing);

// A screen's log: read-only monospaced lines on the card, named "ログ" for assistive tools.
QPlainTextEdit* logView(QWidget* parent);
// Shows the lines, appending when only one was added, and follows the newest line.
void showLog(QPlainTextEdit* view, const QStringList& lines);

// The symbol drawn as a silhouette in `color`, `pixelSize` square, for the given device
// pixel ratio. Never null: an unknown symbol gets the platform's neutral icon.
QPixmap symbolPixmap(const QString& symbol, int pixelSize, const QColor& color, qreal devicePixelRatio = 1.0);

} // namespace ThemeStyle

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

// A sheet over the window on the theme's background, sized to its content, which goes into
// content(). presentOver() shows one over the window of any widget in it (application-modal
// without a window); the sheet deletes itself when it is closed.
class ThemedSheet : public QDialog {
    Q_OBJECT
public:
    ThemedSheet(QWidget* parent, int spacing);
    QVBoxLayout* content() const { return content_; }

    template <typename Sheet, typename... Args>
    static Sheet* presentOver(QWidget* widget, Args&&... args)
    {
        QWidget* window = widget ? widget->window() : nullptr;
        auto* sheet = new Sheet(std::forward<Args>(args)..., window);
        static_cast<ThemedSheet*>(sheet)->openAsSheet(window != nullptr);
        return sheet;
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openAsSheet(bool overWindow);

    QVBoxLayout* content_;
};
