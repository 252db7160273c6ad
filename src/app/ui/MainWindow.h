#pragma once

#include <QMainWindow>

class ContentView;
class QAction;

// The application's one window. Its menu has the About command and no command that opens
// a second window.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    static constexpr int minimumWindowWidth = 960;
    static constexpr int minimumWindowHeight = 640;

    ContentView* contentView() const { return content_; }
    QAction* aboutAction() const { return about_; }

private:
    ContentView* content_;
    QAction* about_;
};
