#pragma once

#include "app/ui/LiquidGlassCard.h"

class QLabel;
class SymbolView;

// The message banner: "checkmark.circle.fill" in the theme's accent colour (or
// "xmark.circle.fill" in red for an error) beside the message, on a card of radius 12 with
// a stronger shadow than ordinary cards, because it floats above the screen.
class ToastView : public LiquidGlassCard {
    Q_OBJECT
public:
    explicit ToastView(QWidget* parent = nullptr);
    static constexpr int maximumTextWidth = 560;

    void setMessage(const QString& message, bool isError);
    // Tells assistive tools that the message is up, as an alert they read out at once.
    void announce();
    QString message() const;
    bool isError() const { return isError_; }

    QLabel* messageLabel() const { return label_; }
    SymbolView* symbolView() const { return symbol_; }

private:
    void applyTheme();

    SymbolView* symbol_;
    QLabel* label_;
    bool isError_ = false;
};
