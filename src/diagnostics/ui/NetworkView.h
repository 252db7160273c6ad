#pragma once

#include "exec/ScreenLifetime.h"

#include <QList>
#include <QWidget>

#include <memory>

class NetworkModel;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The network screen. Showing it refreshes the figures and pings the default host once.
class NetworkView : public QWidget {
    Q_OBJECT
public:
    explicit NetworkView(QWidget* parent = nullptr);
    ~NetworkView() override;

    std::shared_ptr<NetworkModel> model() const { return model_; }
    QList<QLabel*> cardValues() const { return values_; }
    QList<QPushButton*> actionButtons() const { return actions_; }
    QLineEdit* hostField() const { return host_; }
    QPushButton* pingButton() const { return ping_; }
    QWidget* logGroup() const { return logGroup_; }
    QPlainTextEdit* logView() const { return log_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildCards(QWidget* parent);
    QWidget* buildActions(QWidget* parent);
    QWidget* buildPing(QWidget* parent);
    void refresh();

    std::shared_ptr<NetworkModel> model_;
    AppearanceScope appearance_;
    bool appeared_ = false;
    QList<QLabel*> values_;
    QList<QPushButton*> actions_;
    QLineEdit* host_ = nullptr;
    QPushButton* ping_ = nullptr;
    QWidget* logGroup_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
};
