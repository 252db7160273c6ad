#include "app/ui/MainWindow.h"

#include "app/ui/AboutView.h"
#include "app/ui/ContentView.h"
#include "app/ui/ThemeStyle.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Tessarin"));
    setMinimumSize(minimumWindowWidth, minimumWindowHeight);
    setUnifiedTitleAndToolBarOnMac(true);

    // The menu bar (inside the window on Linux) takes the theme's colours like the content.
    ThemeStyle::followTheme(this);
    content_ = new ContentView(this);
    setCentralWidget(content_);

    // The application menu: the About command takes the place of the standard one (on macOS
    // the role moves it into the application menu). There is deliberately no "new window".
    QMenu* appMenu = menuBar()->addMenu(QStringLiteral("Tessarin"));
    about_ = appMenu->addAction(QStringLiteral("Tessarinについて"));
    about_->setObjectName(QStringLiteral("aboutAction"));
    about_->setMenuRole(QAction::AboutRole);
    connect(about_, &QAction::triggered, this, [this] { AboutView::present(this); });

    appMenu->addSeparator();
    QAction* quit = appMenu->addAction(QStringLiteral("Tessarinを終了"));
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
}
