#pragma once

#include "app/ui/ThemeStyle.h"

#include <QIcon>
#include <QPixmap>

class QLabel;
class QPushButton;

// The About sheet: mascot, product name, release label, a card of facts with the running
// version (from platform::BundleInfo::shared()) and the close button "閉じる".
// Colours follow ThemeManager while it is open.
class AboutView : public ThemedSheet {
    Q_OBJECT
public:
    explicit AboutView(QWidget* parent = nullptr);

    // Opens a new sheet over `parent`'s window (window-modal; application-modal without a
    // parent) and returns at once. The sheet deletes itself when it is closed.
    static AboutView* present(QWidget* parent);

    // The application icon, ":/tessarin/AppIcon.svg" (the mascot on its tile); also the
    // window icon. Null only if the resource could not be read.
    static QIcon applicationIcon();
    static inline const QString appIconResource = QStringLiteral(":/tessarin/AppIcon.svg");

    static constexpr int mascotSize = 88;
    static constexpr int fallbackSymbolSize = 72;
    static constexpr int labelColumnWidth = 90;

    // The mascot at `side` logical pixels for the device pixel ratio; null when the image
    // cannot be loaded (the sheet then shows the symbol "stethoscope.circle.fill").
    static QPixmap mascotPixmap(int side, qreal devicePixelRatio = 1.0);

    QLabel* versionLabel() const { return version_; }
    QPushButton* closeButton() const { return close_; }
    bool showsMascotImage() const { return showsMascotImage_; }

private:
    void addLabel(const QString& text, int pixelSize, QFont::Weight weight, ThemeStyle::Tone tone,
                  const char* objectName);

    QLabel* version_ = nullptr;
    QPushButton* close_ = nullptr;
    bool showsMascotImage_ = false;
};
