#include "app/ui/TessarinApp.h"

#include "app/AppState.h"
#include "app/ThemeManager.h"
#include "app/ui/AboutView.h"
#include "app/ui/MainWindow.h"
#include "exec/AuthorizationManager.h"
#include "permissions/PermissionManager.h"
#include "platform/Settings.h"
#include "platform/StandIns.h"
#include "platform/Symbols.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QKeyEvent>
#include <QToolButton>

#include <cstdio>

namespace TessarinApp {

std::optional<QString> displayProblem(const QProcessEnvironment& environment)
{
#if defined(Q_OS_MACOS)
    Q_UNUSED(environment);
    return std::nullopt;
#else
    auto isSet = [&](const char* name) { return !environment.value(QString::fromLatin1(name)).isEmpty(); };
    if (isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY"))
        return std::nullopt;
    return QStringLiteral(
        "tessarin: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot be opened.\n"
        "To render the screens without a display, use offscreen rendering: run with QT_QPA_PLATFORM=offscreen,\n"
        "or use the build/<preset>/tessarin-render tool to write the screens to image files.\n");
#endif
}

namespace {

// Outside dialogs a push button ignores Return unless it is a default button; a keyboard user
// expects Return to do what Space does.
class ReturnPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QAbstractButton*>(target);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier
            || !button || !button->isEnabled() || qobject_cast<QDialog*>(button->window()))
            return false;
        auto* tool = qobject_cast<QToolButton*>(button);
        if (tool && tool->menu() && tool->popupMode() == QToolButton::InstantPopup)
            tool->showMenu();
        else
            button->animateClick();
        return true;
    }
};

} // namespace

void configureAppearance()
{
    platform::configureSymbolTheme();
    const QString returnPresses = QStringLiteral("tessarinReturnPresses");
    if (!qApp->findChild<QObject*>(returnPresses, Qt::FindDirectChildrenOnly)) {
        auto* filter = new ReturnPresses(qApp);
        filter->setObjectName(returnPresses);
        qApp->installEventFilter(filter);
    }
    // Japanese text first; colour emoji (the release line, the theme names) from the emoji font.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Color Emoji")});
    font.setPixelSize(13);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

std::unique_ptr<MainWindow> openWindow()
{
    platform::configureApplicationIdentity();
    platform::installStandInPath();
    configureAppearance();

    // The shared objects live for the whole process and belong to the main thread.
    AppState::shared();
    ThemeManager::shared();
    AuthorizationManager::shared();
    PermissionManager::shared();
    QApplication::setWindowIcon(AboutView::applicationIcon());

    auto window = std::make_unique<MainWindow>();
    window->resize(1100, 720);
    window->show();
    return window;
}

int exec(int argc, char* argv[])
{
    if (const auto problem = displayProblem(QProcessEnvironment::systemEnvironment())) {
        std::fputs(problem->toLocal8Bit().constData(), stderr);
        return 2;
    }

    QApplication app(argc, argv);
    const std::unique_ptr<MainWindow> window = openWindow();
    return app.exec();
}

} // namespace TessarinApp
