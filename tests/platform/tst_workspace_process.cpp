// Bundles, icons, running applications and the reveal command, on temporary trees and real
// processes.
#include "platform/Symbols.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"

#include <QImageWriter>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

using namespace platform;

namespace {

QString makeBundle(const QString& parent, const QVariantMap& info, BundleFactory::PlistFormat format = BundleFactory::PlistFormat::xml)
{
    BundleFactory::App app;
    app.fileName = QStringLiteral("Foo.app");
    app.info = info;
    app.format = format;
    app.writeExecutable = false;
    return BundleFactory::create(parent, app);
}

// A copy of a system executable at `target` (folders included), started with `arguments`.
bool start(QProcess& child, const QString& source, const QString& target, const QStringList& arguments)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    if (!QFile::copy(source, target))
        return false;
    child.start(target, arguments);
    return child.waitForStarted();
}

std::optional<RunningApplication> listed(qint64 pid)
{
    for (const RunningApplication& app : Workspace::systemDefault().runningApplications())
        if (app.processId == pid)
            return app;
    return std::nullopt;
}

// isRunning, terminate and forceTerminate of `app`, as "rtf" with "-" for false.
QString signalled(const RunningApplication& app)
{
    Workspace& w = Workspace::systemDefault();
    QString result(w.isRunning(app) ? u'r' : u'-');
    result += w.terminate(app) ? u't' : u'-';
    return result + (w.forceTerminate(app) ? u'f' : u'-');
}

bool writeScript(const QString& path, const QByteArray& body) { return BundleFactory::writeFile(path, "#!/bin/sh\n" + body, true); }

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString readAll(const QString& path) { return QString::fromUtf8(readWholeFile(path)); }

} // namespace

class WorkspaceTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString root_;

private slots:
    void initTestCase()
    {
        configureSymbolTheme();
        QVERIFY(QImageWriter::supportedImageFormats().contains("icns"));
        root_ = QFileInfo(dir_.path()).canonicalFilePath();
        QCOMPARE(workspace::applicationName(QStringLiteral("/Applications/My お手当.app/")), QStringLiteral("My お手当"));
    }

    void bundlePathForExecutable_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("bundle");
        QTest::newRow("main executable") << "/Applications/Foo.app/Contents/MacOS/Foo" << "/Applications/Foo.app";
        QTest::newRow("helper bundle: the outermost") << "/A/Foo.app/Contents/Frameworks/H.app/Contents/MacOS/H" << "/A/Foo.app";
        QTest::newRow("plain executable") << "/usr/bin/sleep" << "";
        QTest::newRow("executable named .app") << "/opt/tools/run.app" << "";
        QTest::newRow("bare .app folder name") << "/opt/.app/Contents/MacOS/x" << "";
        QTest::newRow("upper-case extension") << "/A/Foo.APP/Contents/MacOS/Foo" << "/A/Foo.APP";
        QTest::newRow("redundant separators") << "/A//Foo.app/./Contents/MacOS/Foo" << "/A/Foo.app";
        QTest::newRow("dot-dot resolved first") << "/A/Foo.app/../bin/tool" << "";
        QTest::newRow("relative path") << "Foo.app/Contents/MacOS/Foo" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("suffix inside a name") << "/A/Foo.application/bin/x" << "";
    }
    void bundlePathForExecutable()
    {
        QFETCH(QString, executable);
        QTEST(workspace::bundlePathForExecutable(executable), "bundle");
    }

    void bundleIconPath_data()
    {
        QTest::addColumn<QVariant>("iconFile");   // invalid: key left out
        QTest::addColumn<BundleFactory::PlistFormat>("format");
        QTest::addColumn<QString>("expected");    // relative to the bundle; "" for none
        const auto xml = BundleFactory::PlistFormat::xml, binary = BundleFactory::PlistFormat::binary;
        QTest::newRow("xml, no extension") << QVariant("AppIcon") << xml << "Contents/Resources/AppIcon.icns";
        QTest::newRow("binary, no extension") << QVariant("AppIcon") << binary << "Contents/Resources/AppIcon.icns";
        QTest::newRow("with extension") << QVariant("AppIcon.icns") << binary << "Contents/Resources/AppIcon.icns";
        QTest::newRow("other extension kept") << QVariant("icon.png") << xml << "Contents/Resources/icon.png";
        QTest::newRow("key absent") << QVariant() << xml << "";
        QTest::newRow("not text") << QVariant(3) << binary << "";
        QTest::newRow("empty text") << QVariant("") << xml << "";
        QTest::newRow("climbs out") << QVariant("../../../../etc/passwd") << xml << "";
        QTest::newRow("sub path") << QVariant("sub/icon.icns") << xml << "";
        QTest::newRow("absolute") << QVariant("/etc/passwd") << binary << "";
        QTest::newRow("dot-dot") << QVariant("..") << xml << "";
        QTest::newRow("no Info.plist") << QVariant("<no plist>") << xml << "";
        QTest::newRow("Info.plist through a link is read") << QVariant("<linked>") << binary << "Contents/Resources/AppIcon.icns";
        QTest::newRow("non-ascii") << QVariant("アイコン") << binary << "Contents/Resources/アイコン.icns";
        QTest::newRow("Info.plist empty") << QVariant("<>") << xml << "";
        QTest::newRow("Info.plist garbage") << QVariant("<not a property list at all>") << xml << "";
        QTest::newRow("Info.plist truncated") << QVariant("<truncated>") << binary << "";
        QTest::newRow("Info.plist root is an array")
            << QVariant("<<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>CFBundleIconFile</string></array></plist>>") << xml << "";
    }
    void bundleIconPath()
    {
        QFETCH(QVariant, iconFile);
        QFETCH(BundleFactory::PlistFormat, format);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const bool special = iconFile.toString().startsWith('<');
        QVariantMap info{{"CFBundleName", "Foo"}};
        if (iconFile.isValid())
            info.insert(QStringLiteral("CFBundleIconFile"), special ? QVariant("AppIcon") : iconFile);
        const QString bundle = makeBundle(dir.path(), info, format);
        const QString plist = bundle + "/Contents/Info.plist";
        if (special)
            QVERIFY(QFile::rename(plist, dir.filePath("real.plist")));
        if (iconFile == QVariant("<linked>"))
            QVERIFY(QFile::link(dir.filePath("real.plist"), plist));
        else if (iconFile == QVariant("<truncated>"))
            QVERIFY(BundleFactory::writeFile(plist, readWholeFile(dir.filePath("real.plist")).left(20)));
        else if (special && iconFile != QVariant("<no plist>"))
            QVERIFY(BundleFactory::writeFile(plist, iconFile.toString().mid(1).chopped(1).toUtf8()));
        QCOMPARE(workspace::bundleIconPath(bundle), expected.isEmpty() ? QString() : bundle + "/" + expected);
    }

    void iconForFile_data()
    {
        QTest::addColumn<QString>("name");   // in the temporary directory; Foo.app: a bundle
        QTest::addColumn<QString>("iconFile");
        QTest::addColumn<QByteArray>("iconBytes");   // written to Resources/<iconFile>; empty: no file
        QTest::addColumn<QString>("fifo");           // a FIFO put in place of this file of the bundle
        QTest::addColumn<QString>("iconName");       // "red": the bundle's own icon; "": no particular one
        const QString generic = QStringLiteral("application-x-executable");
        QTest::newRow("bundle's own icon") << "Foo.app" << "AppIcon" << QByteArray("red") << "" << "red";
        QTest::newRow("trailing slash") << "Foo.app/" << "AppIcon" << QByteArray("red") << "" << "red";
        QTest::newRow("icon file missing") << "Foo.app" << "AppIcon.icns" << QByteArray() << "" << generic;
        QTest::newRow("icon file corrupt") << "Foo.app" << "AppIcon.icns" << QByteArray("icns\x00\x00\x00\x08garbage", 15) << "" << generic;
        QTest::newRow("no key") << "Foo.app" << "" << QByteArray() << "" << generic;
        // Opening a FIFO for reading waits for a writer: returning at all is the point.
        QTest::newRow("Info.plist is a FIFO") << "Foo.app" << "AppIcon" << QByteArray() << "Contents/Info.plist" << generic;
        QTest::newRow("icon is a FIFO") << "Foo.app" << "AppIcon" << QByteArray() << "Contents/Resources/AppIcon.icns" << generic;
        QTest::newRow("text") << "notes.txt" << "" << QByteArray("hello\n") << "" << "text-plain";
        QTest::newRow("folder") << "Folder/" << "" << QByteArray() << "" << "inode-directory";
        QTest::newRow("file named .app is no bundle") << "fake.app" << "" << QByteArray("x") << "" << "";
        QTest::newRow("missing file") << "missing/report.pdf" << "" << QByteArray() << "" << "";
    }
    void iconForFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, iconFile);
        QFETCH(QByteArray, iconBytes);
        QFETCH(QString, fifo);
        QFETCH(QString, iconName);
        QTemporaryDir dir;
        QString path = dir.filePath(name);
        if (name.startsWith(QLatin1String("Foo.app"))) {
            const QString bundle = makeBundle(dir.path(), iconFile.isEmpty() ? QVariantMap{} : QVariantMap{{"CFBundleIconFile", iconFile}});
            const QString icon = bundle + "/Contents/Resources/" + (iconFile.contains('.') ? iconFile : iconFile + ".icns");
            QImage red(128, 128, QImage::Format_ARGB32);
            red.fill(QColor(250, 10, 20));
            QVERIFY(iconBytes != "red" || (QDir().mkpath(QFileInfo(icon).path()) && QImageWriter(icon, "icns").write(red)));
            QVERIFY(iconBytes.isEmpty() || iconBytes == "red" || BundleFactory::writeFile(icon, iconBytes));
            if (!fifo.isEmpty()) {
                QFile::remove(bundle + "/" + fifo);
                QVERIFY(QDir().mkpath(QFileInfo(bundle + "/" + fifo).absolutePath()));
                QCOMPARE(::mkfifo(QFile::encodeName(bundle + "/" + fifo).constData(), 0600), 0);
            }
        } else if (name.endsWith('/')) {
            QVERIFY(QDir().mkpath(path));
        } else if (!iconBytes.isEmpty()) {
            QVERIFY(BundleFactory::writeFile(path, iconBytes));
        }
        const QIcon icon = Workspace::systemDefault().iconForFile(path);
        const QImage image = icon.pixmap(64, 64).toImage();
        QVERIFY(!image.isNull());
        const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
        if (iconName == QLatin1String("red"))
            QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60, qPrintable(centre.name()));
        else if (!iconName.isEmpty())
            QCOMPARE(icon.name(), iconName);
        else
            QVERIFY(icon.name() != QStringLiteral("application-x-executable"));
    }

    void runningApplications_data()
    {
        QTest::addColumn<QString>("executable");   // below the temporary root
        QTest::addColumn<QString>("bundle");       // what the listing reports; "" for the executable itself
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("deleted");         // the executable is removed while it runs
        QTest::newRow("bundle") << "/Foo.app/Contents/MacOS/Foo" << "/Foo.app" << "Foo" << false;
        QTest::newRow("helper of a nested bundle: the outer one")
            << "/Outer.app/Contents/Frameworks/Outer Helper.app/Contents/MacOS/Outer Helper" << "/Outer.app" << "Outer" << false;
        QTest::newRow("plain executable") << "/bin/plain-sleep" << "" << "plain-sleep" << false;
        QTest::newRow("deleted executable still belongs to its bundle") << "/Gone.app/Contents/MacOS/Gone" << "/Gone.app" << "Gone" << true;
    }
    void runningApplications()
    {
        QFETCH(QString, executable);
        QFETCH(QString, bundle);
        QFETCH(bool, deleted);
        QProcess child;
        QVERIFY(start(child, QStringLiteral("/bin/sleep"), root_ + executable, {"60"}));
        if (deleted)
            QVERIFY(QFile::remove(root_ + executable));
        const auto app = listed(child.processId());
        QVERIFY(app);
        QCOMPARE(app->bundlePath, root_ + (bundle.isEmpty() ? executable : bundle));
        QTEST(app->name, "name");
        // An entry that names another program than the one with its process id is left alone.
        QCOMPARE(signalled({app->processId, root_ + "/Other.app", "Other"}), QStringLiteral("---"));
        QCOMPARE(signalled({0, {}, {}}) + signalled({-1, {}, {}}) + signalled({0x3fffffff, {}, {}}), QStringLiteral("---------"));
        QVERIFY(!child.waitForFinished(100));
        QVERIFY(Workspace::systemDefault().isRunning(*app));
        QVERIFY(Workspace::systemDefault().terminate(*app));
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(signalled(*app), QStringLiteral("---"));   // gone: nothing is signalled any more
    }

    void processIgnoringTerminateIsForced()
    {
        QProcess child;
        QVERIFY(start(child, QStringLiteral("/bin/sh"), root_ + "/Stubborn.app/Contents/MacOS/Stubborn",
                      {"-c", "trap '' TERM; echo ready; while :; do sleep 1; done"}));
        QVERIFY(child.waitForReadyRead(10000));   // the trap is in place
        const auto app = listed(child.processId());
        QVERIFY(app);
        QCOMPARE(signalled(*app), QStringLiteral("rtf"));
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    }

    // The reveal command with stand-ins for dbus-send and xdg-open on PATH: the file URL
    // reaches the file manager as one array element (a comma would split it), and the parent
    // folder reaches the fallback untouched, whatever characters the path holds.
    void revealCommandPassesPathsVerbatim_data()
    {
        QTest::addColumn<bool>("fileManagerAnswers");
        QTest::newRow("file manager answers") << true;
        QTest::newRow("no file manager: parent folder opened") << false;
    }
    void revealCommandPassesPathsVerbatim()
    {
        QFETCH(bool, fileManagerAnswers);
        QTemporaryDir tools;
        QVERIFY(writeScript(tools.filePath("dbus-send"), "printf '%s\\n' \"$@\" > dbus.log\nexit " + QByteArray(fileManagerAnswers ? "0" : "1")));
        QVERIFY(writeScript(tools.filePath("xdg-open"), "printf '%s' \"$1\" > open.log"));
        const QString folder = root_ + "/it's a \"folder\" $(touch pwned), too";
        const QString file = folder + "/report;rm -rf x.txt";
        QStringList command = workspace::revealCommand(file);
        QProcess shell;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", tools.path() + ":/usr/bin:/bin");
        shell.setProcessEnvironment(environment);
        shell.setWorkingDirectory(tools.path());
        shell.start(command.takeFirst(), command);
        QVERIFY(shell.waitForFinished(10000));
        const QString url = QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded()).replace(",", "%2C");
        QVERIFY(readAll(tools.filePath("dbus.log")).split('\n').contains("array:string:" + url));
        QVERIFY(readAll(tools.filePath("dbus.log")).contains("org.freedesktop.FileManager1.ShowItems"));
        QCOMPARE(readAll(tools.filePath("open.log")), fileManagerAnswers ? QString() : folder);
        QVERIFY(!QFile::exists(tools.filePath("pwned")));
    }
};

QTEST_MAIN(WorkspaceTest)
#include "tst_workspace_process.moc"
