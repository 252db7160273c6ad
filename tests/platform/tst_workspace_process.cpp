// Bundles, icons, running applications and the reveal command, on temporary trees and real processes.
#include "platform/Symbols.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"
#include "support/FakePrivilegedTools.h"

#include <QImageWriter>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

using namespace platform;
using BundleFactory::PlistFormat;

namespace {

QString makeBundle(const QString& parent, const QVariantMap& info, PlistFormat format = PlistFormat::xml)
{
    return BundleFactory::create(parent, {QStringLiteral("Foo.app"), info, format, std::nullopt, true, {}, false});
}

// isRunning, terminate and forceTerminate of `app`, as "rtf" with "-" for false.
QString signalled(const RunningApplication& app)
{
    // One statement each: the operands of + are unsequenced, and killing first would read as "--f".
    Workspace& w = Workspace::systemDefault();
    QString result(w.isRunning(app) ? u'r' : u'-');
    result += w.terminate(app) ? u't' : u'-';
    result += w.forceTerminate(app) ? u'f' : u'-';
    return result;
}

} // namespace

class WorkspaceTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString root_;

private slots:
    void initTestCase()
    {
        configureSymbolTheme();
        QVERIFY(QImageWriter::supportedImageFormats().contains("icns"));
        root_ = QFileInfo(dir_.path()).canonicalFilePath();
    }

    void bundlePathForExecutable()
    {
        for (const char* plain : {"/usr/bin/sleep", "/opt/tools/run.app", "/opt/.app/Contents/MacOS/x", "/A/Foo.app/../bin/tool",
                                  "Foo.app/Contents/MacOS/Foo", "", "/A/Foo.application/bin/x"})
            QCOMPARE(workspace::bundlePathForExecutable(plain), QString());
        for (const auto& [executable, bundle] : {std::pair{"/Applications/Foo.app/Contents/MacOS/Foo", "/Applications/Foo.app"},
                                                 {"/A/Foo.app/Contents/Frameworks/H.app/Contents/MacOS/H", "/A/Foo.app"},
                                                 {"/A/Foo.APP/Contents/MacOS/Foo", "/A/Foo.APP"}, {"/A//Foo.app/./Contents/MacOS/Foo", "/A/Foo.app"}})
            QCOMPARE(workspace::bundlePathForExecutable(executable), QString(bundle));
    }

    // Every icon key in both plist formats, then broken Info.plist files: "<linked>", "<no plist>",
    // "<truncated>" or the text inside the brackets; "@" stands for the bundle's Resources folder.
    void bundleIconPath()
    {
        const auto iconPath = [](const QVariant& key, PlistFormat format, const QString& special = {}) {
            QTemporaryDir dir;
            QVariantMap info{{"CFBundleName", "Foo"}};
            if (key.isValid())
                info.insert(QStringLiteral("CFBundleIconFile"), key);
            const QString bundle = makeBundle(dir.path(), info, format), plist = bundle + "/Contents/Info.plist", real = dir.filePath("real.plist");
            if (!special.isEmpty() && QFile::rename(plist, real) && special == "<linked>")
                QFile::link(real, plist);
            else if (special == "<truncated>")
                BundleFactory::writeFile(plist, readWholeFile(real).left(20));
            else if (!special.isEmpty() && special != "<no plist>")
                BundleFactory::writeFile(plist, special.mid(1).chopped(1).toUtf8());
            return workspace::bundleIconPath(bundle).replace(bundle + "/Contents/Resources/", "@");
        };
        const std::pair<QVariant, QString> keys[] = {{"AppIcon", "@AppIcon.icns"}, {"AppIcon.icns", "@AppIcon.icns"}, {"icon.png", "@icon.png"},
            {"アイコン", "@アイコン.icns"}, {QVariant(), ""}, {3, ""}, {"", ""}, {"../../../../etc/passwd", ""}, {"sub/icon.icns", ""},
            {"/etc/passwd", ""}, {"..", ""}};
        QStringList got, want;
        for (const auto format : {PlistFormat::xml, PlistFormat::binary})
            for (const auto& [key, expected] : keys)
                got << iconPath(key, format), want << expected;
        for (const char* special : {"<no plist>", "<>", "<not a property list at all>", "<truncated>",
                                    "<<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>CFBundleIconFile</string></array></plist>>"})
            got << iconPath("AppIcon", PlistFormat::binary, special), want << "";
        QCOMPARE(got << iconPath("AppIcon", PlistFormat::binary, "<linked>"), want << "@AppIcon.icns");
    }

    // The icon each file gets: "red" for the bundle's own (red) icon, else the theme icon's name;
    // "!x" stands for any name but x. A FIFO (in place of `fifo`) blocks a reader: returning is the point.
    void iconForFile()
    {
        const auto iconOf = [](const QString& name, const QString& iconFile, const QByteArray& bytes, const QString& fifo) {
            QTemporaryDir dir;
            const QString path = dir.filePath(name);
            if (name.startsWith(QLatin1String("Foo.app"))) {
                const QString bundle = makeBundle(dir.path(), iconFile.isEmpty() ? QVariantMap{} : QVariantMap{{"CFBundleIconFile", iconFile}});
                const QString icon = bundle + "/Contents/Resources/" + (iconFile.contains('.') ? iconFile : iconFile + ".icns");
                QImage red(128, 128, QImage::Format_ARGB32);
                red.fill(QColor(250, 10, 20));
                if (bytes == "red" && QDir().mkpath(QFileInfo(icon).path()))
                    QImageWriter(icon, "icns").write(red);
                else if (!bytes.isEmpty())
                    BundleFactory::writeFile(icon, bytes);
                const QString fifoPath = bundle + "/" + fifo;
                if (!fifo.isEmpty() && (!QFile::exists(fifoPath) || QFile::remove(fifoPath)) && QDir().mkpath(QFileInfo(fifoPath).path()))
                    ::mkfifo(QFile::encodeName(fifoPath).constData(), 0600);
            } else if (!BundleFactory::writeFile(path, bytes)) {
                return QStringLiteral("not set up");
            }
            const QIcon icon = Workspace::systemDefault().iconForFile(path);
            const QImage image = icon.pixmap(64, 64).toImage();
            const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
            return image.isNull() ? QStringLiteral("null") : centre.red() > 200 && centre.green() < 60 && centre.blue() < 60 ? QStringLiteral("red") : icon.name();
        };
        const QString generic = QStringLiteral("application-x-executable");
        const struct { const char *name, *iconFile; QByteArray bytes; const char* fifo; QString expected; } rows[] = {
            {"Foo.app", "AppIcon", "red", "", "red"}, {"Foo.app/", "AppIcon", "red", "", "red"},
            {"Foo.app", "AppIcon.icns", {}, "", generic}, {"Foo.app", "AppIcon.icns", QByteArray("icns\x00\x00\x00\x08garbage", 15), "", generic},
            {"Foo.app", "", {}, "", generic}, {"Foo.app", "AppIcon", {}, "Contents/Info.plist", generic},
            {"Foo.app", "AppIcon", {}, "Contents/Resources/AppIcon.icns", generic}, {"fake.app", "", "x", "", "!" + generic}};
        QStringList got, want;
        for (const auto& row : rows) {
            const QString icon = iconOf(row.name, row.iconFile, row.bytes, row.fifo);
            got << (row.expected.startsWith('!') && icon != row.expected.mid(1) ? row.expected : icon), want << row.expected;
        }
        QCOMPARE(got, want);
    }

    void runningApplications_data()
    {
        QTest::addColumn<QString>("executable");   // below the temporary root
        QTest::addColumn<QString>("bundle");       // what the listing reports; "": the executable
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("deleted");         // removed while it runs
        QTest::newRow("bundle") << "/Foo.app/Contents/MacOS/Foo" << "/Foo.app" << "Foo" << false;
        QTest::newRow("plain executable") << "/bin/plain-sleep" << "" << "plain-sleep" << false;
        QTest::newRow("deleted executable still belongs to its bundle") << "/Gone.app/Contents/MacOS/Gone" << "/Gone.app" << "Gone" << true;
    }
    void runningApplications()
    {
        QFETCH(QString, executable);
        QFETCH(QString, bundle);
        QProcess child;   // a copy of sleep at the executable's place
        QVERIFY(QDir().mkpath(QFileInfo(root_ + executable).path()) && QFile::copy(QStringLiteral("/bin/sleep"), root_ + executable));
        child.start(root_ + executable, {"60"});
        QVERIFY(child.waitForStarted());
        QFETCH(bool, deleted);
        QVERIFY(!deleted || QFile::remove(root_ + executable));
        const QList<RunningApplication> running = Workspace::systemDefault().runningApplications();
        const auto app = std::ranges::find(running, child.processId(), &RunningApplication::processId);
        QVERIFY(app != running.end());
        QCOMPARE(app->bundlePath, root_ + (bundle.isEmpty() ? executable : bundle));
        QTEST(app->name, "name");
        // An entry naming another program than the one with its process id is left alone.
        QCOMPARE(signalled({app->processId, root_ + "/Other.app", "Other"}), QStringLiteral("---"));
        QCOMPARE(signalled({0, {}, {}}) + signalled({-1, {}, {}}) + signalled({0x3fffffff, {}, {}}), QStringLiteral("---------"));
        QVERIFY(!child.waitForFinished(100));
        QVERIFY(Workspace::systemDefault().isRunning(*app) && Workspace::systemDefault().terminate(*app));
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(signalled(*app), QStringLiteral("---"));
    }

    // With stand-ins for dbus-send and xdg-open: the file URL reaches the file manager as one
    // array element (a comma would split it), the parent folder reaches the fallback untouched.
    void revealCommandPassesPathsVerbatim()
    {
        for (const bool fileManagerAnswers : {true, false}) {
            QTemporaryDir tools;
            QVERIFY(BundleFactory::writeFile(tools.filePath("dbus-send"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > dbus.log\nexit " + QByteArray(fileManagerAnswers ? "0" : "1"), true));
            QVERIFY(BundleFactory::writeFile(tools.filePath("xdg-open"), "#!/bin/sh\nprintf '%s' \"$1\" > open.log", true));
            const QString folder = root_ + "/it's a \"folder\" $(touch pwned), too", file = folder + "/report;rm -rf x.txt";
            QStringList command = workspace::revealCommand(file);
            QProcess shell;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("PATH", tools.path() + ":/usr/bin:/bin");
            shell.setProcessEnvironment(environment);
            shell.setWorkingDirectory(tools.path());
            shell.start(command.takeFirst(), command);
            QVERIFY(shell.waitForFinished(10000));
            const QString url = QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded()).replace(",", "%2C");
            const QStringList dbus = QString::fromUtf8(readWholeFile(tools.filePath("dbus.log"))).split('\n');
            QVERIFY(dbus.contains("array:string:" + url) && dbus.join(' ').contains("org.freedesktop.FileManager1.ShowItems"));
            QCOMPARE(QString::fromUtf8(readWholeFile(tools.filePath("open.log"))), fileManagerAnswers ? QString() : folder);
            QVERIFY(!QFile::exists(tools.filePath("pwned")));
        }
    }
};

QTEST_MAIN(WorkspaceTest)
#include "tst_workspace_process.moc"
