#include "platform/Symbols.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace platform;

namespace {

// A Contents/Resources icon in the .icns format, drawn in one colour so the test can tell
// it from any theme icon.
bool writeIcns(const QString& path, const QColor& color)
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(color);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImageWriter writer(path, "icns");
    return writer.write(image);
}

QString makeBundle(const QString& parent, const QString& fileName, const QVariantMap& info,
                   BundleFactory::PlistFormat format)
{
    BundleFactory::App app;
    app.fileName = fileName;
    app.info = info;
    app.format = format;
    app.writeExecutable = false;
    return BundleFactory::create(parent, app);
}

QColor centreColour(const QIcon& icon)
{
    const QImage image = icon.pixmap(64, 64).toImage();
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace

class WorkspaceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        configureSymbolTheme();
        QVERIFY(QImageWriter::supportedImageFormats().contains("icns"));
    }

    void bundlePathForExecutable_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("bundle");
        QTest::newRow("main executable") << "/Applications/Foo.app/Contents/MacOS/Foo" << "/Applications/Foo.app";
        QTest::newRow("helper inside a helper bundle takes the outermost")
            << "/Applications/Foo.app/Contents/Frameworks/Foo Helper.app/Contents/MacOS/Foo Helper"
            << "/Applications/Foo.app";
        QTest::newRow("plain executable") << "/usr/bin/sleep" << "";
        QTest::newRow("executable itself named .app is no bundle") << "/opt/tools/run.app" << "";
        QTest::newRow("bare .app folder name") << "/opt/.app/Contents/MacOS/x" << "";
        QTest::newRow("upper-case extension") << "/A/Foo.APP/Contents/MacOS/Foo" << "/A/Foo.APP";
        QTest::newRow("redundant separators") << "/A//Foo.app/./Contents/MacOS/Foo" << "/A/Foo.app";
        QTest::newRow("dot-dot is resolved first") << "/A/Foo.app/../bin/tool" << "";
        QTest::newRow("relative path") << "Foo.app/Contents/MacOS/Foo" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("suffix inside a name") << "/A/Foo.application/bin/x" << "";
    }
    void bundlePathForExecutable()
    {
        QFETCH(QString, executable);
        QFETCH(QString, bundle);
        QCOMPARE(workspace::bundlePathForExecutable(executable), bundle);
    }

    void applicationName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("bundle") << "/Applications/Foo.app" << "Foo";
        QTest::newRow("bundle with blanks and trailing slash") << "/Applications/My App.app/" << "My App";
        QTest::newRow("executable") << "/usr/bin/sleep" << "sleep";
        QTest::newRow("japanese") << "/Applications/お手当.app" << "お手当";
    }
    void applicationName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(workspace::applicationName(path), name);
    }

    void propertyListString_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        const QVariantMap info{{"CFBundleIconFile", "AppIcon"}, {"CFBundleVersion", 45}};
        QTest::newRow("xml") << BundleFactory::plist(info, BundleFactory::PlistFormat::xml) << "AppIcon";
        QTest::newRow("binary") << BundleFactory::plist(info, BundleFactory::PlistFormat::binary) << "AppIcon";
        QTest::newRow("non-ascii") << BundleFactory::plist({{"CFBundleIconFile", "アイコン"}}) << "アイコン";
        QTest::newRow("absent") << BundleFactory::plist({{"Other", "x"}}) << "";
        QTest::newRow("not text") << BundleFactory::plist({{"CFBundleIconFile", 7}}) << "";
        QTest::newRow("empty data") << QByteArray() << "";
        QTest::newRow("garbage") << QByteArray("not a property list at all") << "";
        QTest::newRow("truncated binary")
            << BundleFactory::plist(info, BundleFactory::PlistFormat::binary).left(20) << "";
        QTest::newRow("root is an array")
            << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>CFBundleIconFile"
                          "</string></array></plist>")
            << "";
    }
    void propertyListString()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        QCOMPARE(workspace::propertyListString(data, QStringLiteral("CFBundleIconFile")), expected);
    }

    void bundleIconPath_data()
    {
        QTest::addColumn<QVariant>("iconFile");   // invalid: key left out
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("expected");    // relative to the bundle; "" for none
        const int xml = int(BundleFactory::PlistFormat::xml);
        const int binary = int(BundleFactory::PlistFormat::binary);
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
    }
    void bundleIconPath()
    {
        QFETCH(QVariant, iconFile);
        QFETCH(int, format);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const bool special = iconFile.toString().startsWith('<');
        QVariantMap info{{"CFBundleName", "Foo"}};
        if (iconFile.isValid())
            info.insert(QStringLiteral("CFBundleIconFile"), special ? QVariant("AppIcon") : iconFile);
        const QString bundle = makeBundle(dir.path(), "Foo.app", info, BundleFactory::PlistFormat(format));
        QVERIFY(!bundle.isEmpty());
        const QString plist = bundle + "/Contents/Info.plist";
        if (special)
            QVERIFY(QFile::rename(plist, dir.filePath("real.plist")));
        if (iconFile == QVariant("<linked>"))
            QVERIFY(QFile::link(dir.filePath("real.plist"), plist));
        QCOMPARE(workspace::bundleIconPath(bundle), expected.isEmpty() ? QString() : bundle + "/" + expected);
    }

    void iconForBundleUsesItsIcns()
    {
        QTemporaryDir dir;
        const QString bundle = makeBundle(dir.path(), "Foo.app", {{"CFBundleIconFile", "AppIcon"}},
                                          BundleFactory::PlistFormat::binary);
        QVERIFY(writeIcns(bundle + "/Contents/Resources/AppIcon.icns", QColor(250, 10, 20)));
        const QIcon icon = Workspace::systemDefault().iconForFile(bundle);
        QVERIFY(!icon.isNull());
        const QColor centre = centreColour(icon);
        QVERIFY2(centre.red() > 200 && centre.green() < 60 && centre.blue() < 60, qPrintable(centre.name()));
        // A trailing slash names the same bundle.
        QCOMPARE(centreColour(Workspace::systemDefault().iconForFile(bundle + "/")).red(), centre.red());
    }

    void bundleWithoutUsableIconGetsTheGenericApplicationIcon_data()
    {
        QTest::addColumn<QString>("iconFile");
        QTest::addColumn<QByteArray>("iconBytes");   // written to Resources/<iconFile>; empty: no file
        QTest::addColumn<QString>("fifo");           // a FIFO put in place of this file of the bundle
        QTest::newRow("icon file missing") << "AppIcon.icns" << QByteArray() << "";
        QTest::newRow("icon file corrupt") << "AppIcon.icns" << QByteArray("icns\x00\x00\x00\x08garbage", 15) << "";
        QTest::newRow("no key") << "" << QByteArray() << "";
        // Opening a FIFO for reading waits for a writer: returning at all is the point.
        QTest::newRow("Info.plist is a FIFO") << "AppIcon" << QByteArray() << "Contents/Info.plist";
        QTest::newRow("icon is a FIFO") << "AppIcon" << QByteArray() << "Contents/Resources/AppIcon.icns";
    }
    void bundleWithoutUsableIconGetsTheGenericApplicationIcon()
    {
        QFETCH(QString, iconFile);
        QFETCH(QByteArray, iconBytes);
        QFETCH(QString, fifo);
        QTemporaryDir dir;
        QVariantMap info{{"CFBundleName", "Foo"}};
        if (!iconFile.isEmpty())
            info.insert("CFBundleIconFile", iconFile);
        const QString bundle = makeBundle(dir.path(), "Foo.app", info, BundleFactory::PlistFormat::xml);
        if (!iconBytes.isEmpty())
            QVERIFY(BundleFactory::writeFile(bundle + "/Contents/Resources/" + iconFile, iconBytes));
        if (!fifo.isEmpty()) {
            QFile::remove(bundle + "/" + fifo);
            QVERIFY(QDir().mkpath(QFileInfo(bundle + "/" + fifo).absolutePath()));
            QCOMPARE(::mkfifo(QFile::encodeName(bundle + "/" + fifo).constData(), 0600), 0);
        }
        const QIcon icon = Workspace::systemDefault().iconForFile(bundle);
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.name(), QStringLiteral("application-x-executable"));
        QVERIFY(!icon.pixmap(32, 32).isNull());
    }

    void otherFilesGetTheirTypeIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("iconName");
        QTest::newRow("text") << "notes.txt" << QByteArray("hello\n") << "text-plain";
        QTest::newRow("folder") << "Folder/" << QByteArray() << "inode-directory";
        QTest::newRow("file named .app is no bundle") << "fake.app" << QByteArray("x") << "";
        QTest::newRow("missing file") << "missing/report.pdf" << QByteArray() << "";
    }
    void otherFilesGetTheirTypeIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, iconName);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (name.endsWith('/'))
            QVERIFY(QDir().mkpath(path));
        else if (!contents.isEmpty())
            QVERIFY(BundleFactory::writeFile(path, contents));
        const QIcon icon = Workspace::systemDefault().iconForFile(path);
        QVERIFY(!icon.isNull());
        QVERIFY(!icon.pixmap(32, 32).isNull());
        if (!iconName.isEmpty())
            QCOMPARE(icon.name(), iconName);
        else
            QVERIFY(icon.name() != QStringLiteral("application-x-executable"));
    }

    void revealCommandKeepsThePathOutOfTheScript_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("parent");
        QTest::newRow("plain") << "/tmp/a/b.txt" << "file:///tmp/a/b.txt" << "/tmp/a";
        QTest::newRow("comma would split the dbus array") << "/tmp/a,b/c,d" << "file:///tmp/a%2Cb/c%2Cd"
                                                           << "/tmp/a,b";
        QTest::newRow("quotes and shell syntax") << "/tmp/x'$(touch y)\"/f" << "file:///tmp/x'$(touch%20y)%22/f"
                                                 << "/tmp/x'$(touch y)\"";
        QTest::newRow("japanese") << "/tmp/写真/a.png" << "file:///tmp/%E5%86%99%E7%9C%9F/a.png" << "/tmp/写真";
    }
    void revealCommandKeepsThePathOutOfTheScript()
    {
        QFETCH(QString, path);
        QFETCH(QString, url);
        QFETCH(QString, parent);
        const QStringList command = workspace::revealCommand(path);
        QCOMPARE(command.size(), 6);
        QCOMPARE(command.at(0), QStringLiteral("/bin/sh"));
        QCOMPARE(command.at(1), QStringLiteral("-c"));
        QVERIFY(!command.at(2).contains(QStringLiteral("/tmp")));
        QCOMPARE(command.at(4), url);
        QCOMPARE(command.at(5), parent);
    }
};

QTEST_MAIN(WorkspaceTest)
#include "tst_workspace.moc"
