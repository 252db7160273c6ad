#include "app/ui/TessarinApp.h"

#include "platform/Settings.h"
#include "platform/StandIns.h"
#include "platform/Symbols.h"

#include <QApplication>
#include <QLabel>

namespace TessarinApp {

int exec(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::configureApplicationIdentity();
    platform::installStandInPath();
    platform::configureSymbolTheme();
    QLabel label(QStringLiteral("Tessarin"));
    label.show();
    return app.exec();
}

} // namespace TessarinApp
