// Makes the macOS-like tree the demo sandbox binds over /Applications, /Library, /Users, ...
//
//   tessarin-demo-tree [--keep] <folder> <user>
//
// Prints the user's temporary folder (the TMPDIR inside the sandbox) on success.
#include "demotree/DemoTree.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool keep = arguments.removeAll(QStringLiteral("--keep")) > 0;
    QTextStream err(stderr);
    if (arguments.size() != 2) {
        err << "usage: tessarin-demo-tree [--keep] <folder> <user>\n";
        return 2;
    }
    const QStringList errors = DemoTree::generate(arguments[0], arguments[1], keep);
    for (const QString& error : errors)
        err << "tessarin-demo-tree: " << error << '\n';
    if (!errors.isEmpty())
        return 1;
    QTextStream(stdout) << DemoTree::temporaryDirectory(arguments[1]) << '\n';
    return 0;
}
