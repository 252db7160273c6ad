#include "app/AppState.h"
#include "cleanup/InstalledApp.h"
#include "cleanup/UninstallerModel.h"
#include "platform/FileManager.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/RootPaths.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cerrno>

namespace {

// The user's home in the temporary tree; removal of the listed paths fails as it does for a
// protected container.
class TestFiles final : public platform::FileManager {
public:
    QString home;
    QSet<QString> protectedPaths;
    QString homeDirectory() const override { return home; }
    platform::TreeRemoval removeItem(const QString& path) const override
    {
        if (protectedPaths.contains(path))
            return {0, 1, EPERM};
        return platform::FileManager::removeItem(path);
    }
};

QString removeLine(const QString& path)
{
    return QStringLiteral("rm -rf '") + path + QLatin1Char('\'');
}

QString duLine(const QString& path)
{
    return QStringLiteral("du -sm \"") + path + QStringLiteral("\" 2>/dev/null | cut -f1");
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

} // namespace

class UninstallerTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString apps_;
    QString library_;
    TestFiles files_;
    std::optional<platform::Service<platform::FileManager>::Override> useFiles_;
    LeftoverRoots roots_;
    std::optional<platform::Service<LeftoverRoots>::Override> useRoots_;

    QString makeBundle(const QString& fileName, const QString& bundleID,
                       BundleFactory::PlistFormat format = BundleFactory::PlistFormat::xml)
    {
        BundleFactory::App app;
        app.fileName = fileName;
        app.info = BundleFactory::appInfo(QStringLiteral("x"), bundleID, QStringLiteral("1.0"), QStringLiteral("Main"));
        app.format = format;
        app.executable = BundleFactory::thinMachO(BundleFactory::cpuX86_64);
        return BundleFactory::create(apps_, app);
    }

    InstalledApp record(const QString& path, const QString& bundleID)
    {
        return InstalledApp{QUuid::createUuid(), InstalledApp::nameFromPath(path), bundleID, path, 10, false};
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        files_.home = dir_.path() + QStringLiteral("/home");
        files_.protectedPaths.clear();
        apps_ = dir_.path() + QStringLiteral("/Applications");
        library_ = dir_.path() + QStringLiteral("/Library");
        QVERIFY(QDir().mkpath(files_.home));
        QVERIFY(QDir().mkpath(apps_));
        QVERIFY(QDir().mkpath(library_));
        roots_.systemLibrary = library_;
        useFiles_.emplace(files_);
        useRoots_.emplace(roots_);
    }
    void cleanup()
    {
        useRoots_.reset();
        useFiles_.reset();
    }

    void scanCommandIsTheFixedLine()
    {
        const QString line = UninstallerModel::scanCommand();
        QCOMPARE(line, QStringLiteral("find /Applications /System/Applications \"$HOME/Applications\"     -maxdepth 1 "
                                      "-name \"*.app\" -type d 2>/dev/null"));
        QCOMPARE(line.size(), 110);
        QCOMPARE(UninstallerModel::scanCommand({}), line);
        QCOMPARE(UninstallerModel::scanCommand({QStringLiteral("/a b"), QStringLiteral("/x$y")}),
                 QStringLiteral("find \"/a b\" \"/x\\$y\"     -maxdepth 1 -name \"*.app\" -type d 2>/dev/null"));
    }

    void commandLinesQuoteEveryPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kill");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("size");
        QTest::newRow("plain") << "/Applications/Foo.app" << "pkill -9 -f '^/Applications/Foo\\.app(/|$)' 2>/dev/null; true"
                               << "rm -rf '/Applications/Foo.app'" << "du -sm \"/Applications/Foo.app\" 2>/dev/null | cut -f1";
        QTest::newRow("quote") << "/Applications/Bob's App.app"
                               << "pkill -9 -f '^/Applications/Bob'\\''s App\\.app(/|$)' 2>/dev/null; true"
                               << "rm -rf '/Applications/Bob'\\''s App.app'"
                               << "du -sm \"/Applications/Bob's App.app\" 2>/dev/null | cut -f1";
        QTest::newRow("substitution") << "/Applications/x$(touch y).app"
                                      << "pkill -9 -f '^/Applications/x\\$\\(touch y\\)\\.app(/|$)' 2>/dev/null; true"
                                      << "rm -rf '/Applications/x$(touch y).app'"
                                      << "du -sm \"/Applications/x\\$(touch y).app\" 2>/dev/null | cut -f1";
        QTest::newRow("backquote and brackets") << "/A/`id`[1].app" << "pkill -9 -f '^/A/`id`\\[1\\]\\.app(/|$)' 2>/dev/null; true"
                                                << "rm -rf '/A/`id`[1].app'" << "du -sm \"/A/\\`id\\`[1].app\" 2>/dev/null | cut -f1";
    }
    void commandLinesQuoteEveryPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, kill);
        QFETCH(QString, remove);
        QFETCH(QString, size);
        QCOMPARE(UninstallerModel::killCommand(clearedForRoot(path)), kill);
        QCOMPARE(UninstallerModel::removeCommand(clearedForRoot(path)), remove);
        QCOMPARE(UninstallerModel::sizeCommand(path), size);
    }

    void bundlePathsFromFindOutput_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two") << "/Applications/A.app\n/Applications/B.app" << QStringList{"/Applications/A.app", "/Applications/B.app"};
        QTest::newRow("empty lines dropped") << "\n\n/Applications/A.app\n\n" << QStringList{"/Applications/A.app"};
        QTest::newRow("nothing") << "" << QStringList{};
        // A bundle named "evil\nx.app" prints as two lines; neither piece is a bundle of its own.
        QTest::newRow("line feed in a name") << "/Applications/evil\nx.app\n/Applications/C.app"
                                             << QStringList{"/Applications/C.app"};
        QTest::newRow("parent folder piece") << "/Users/u/Applications\n.app" << QStringList{};
        QTest::newRow("error text") << "find: '/System/Applications': No such file or directory" << QStringList{};
        QTest::newRow("not ending in .app") << "/Applications/A.app.bak\n/Applications/A.APP" << QStringList{};
    }
    void bundlePathsFromFindOutput()
    {
        QFETCH(QString, output);
        QFETCH(QStringList, expected);
        QCOMPARE(UninstallerModel::bundlePaths(output), expected);
    }

    void sortsByCodePoint_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("upper before lower before umlaut") << QStringList{"Ärger", "calendar", "Zoom"}
                                                          << QStringList{"Zoom", "calendar", "Ärger"};
        // U+1F600 is above U+FF21 as a code point, below it as a UTF-16 unit.
        QTest::newRow("code points, not UTF-16 units") << QStringList{QStringLiteral("\U0001F600"), QStringLiteral("\uFF21")}
                                                       << QStringList{QStringLiteral("\uFF21"), QStringLiteral("\U0001F600")};
        QTest::newRow("digits first") << QStringList{"b", "A", "1"} << QStringList{"1", "A", "b"};
    }
    void sortsByCodePoint()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, expected);
        QList<InstalledApp> apps;
        for (const QString& name : names)
            apps << InstalledApp{QUuid::createUuid(), name, {}, {}, 0, false};
        UninstallerModel::sortByName(apps);
        QStringList sorted;
        for (const InstalledApp& app : apps)
            sorted << app.name;
        QCOMPARE(sorted, expected);
    }

    void sortIsStableAndNormalised()
    {
        const QString composed = QStringLiteral("\u00E9");      // é
        const QString decomposed = QStringLiteral("e\u0301");   // e + combining acute
        QList<InstalledApp> apps{{QUuid::createUuid(), composed, "first", {}, 0, false},
                                 {QUuid::createUuid(), decomposed, "second", {}, 0, false},
                                 {QUuid::createUuid(), QStringLiteral("f"), "third", {}, 0, false}};
        UninstallerModel::sortByName(apps);
        // Canonically equal names compare equal and keep their order; é (U+00E9) comes after f.
        QCOMPARE(apps[0].bundleID, QStringLiteral("third"));
        QCOMPARE(apps[1].bundleID, QStringLiteral("first"));
        QCOMPARE(apps[2].bundleID, QStringLiteral("second"));
    }

    void filtersOnTheNameOnly_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty keeps all") << "" << QStringList{"Safari", "Google Chrome", "Maps"};
        QTest::newRow("case-insensitive") << "safari" << QStringList{"Safari"};
        QTest::newRow("inside the name") << "CHROME" << QStringList{"Google Chrome"};
        QTest::newRow("several, in order") << "a" << QStringList{"Safari", "Maps"};
        QTest::newRow("identifier is not searched") << "com.apple" << QStringList{};
        QTest::newRow("path is not searched") << "Applications" << QStringList{};
    }
    void filtersOnTheNameOnly()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        const QList<InstalledApp> apps{{QUuid::createUuid(), "Safari", "com.apple.Safari", "/Applications/Safari.app", 0, false},
                                       {QUuid::createUuid(), "Google Chrome", "com.google.Chrome", "/Applications/Google Chrome.app", 0, false},
                                       {QUuid::createUuid(), "Maps", "com.apple.Maps", "/Applications/Maps.app", 0, false}};
        QStringList names;
        for (const InstalledApp& app : UninstallerModel::filter(apps, search))
            names << app.name;
        QCOMPARE(names, expected);
    }

    void parsesSizes_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<double>("expected");
        QTest::newRow("whole") << "1234" << 1234.0;
        QTest::newRow("padded") << " 12\n" << 12.0;
        QTest::newRow("fraction") << "12.5" << 12.5;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("error text") << "du: cannot access" << 0.0;
        QTest::newRow("two lines") << "12\n13" << 0.0;
        QTest::newRow("hex") << "0x10" << 0.0;
        QTest::newRow("infinity") << "inf" << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
    }
    void parsesSizes()
    {
        QFETCH(QString, output);
        QFETCH(double, expected);
        QCOMPARE(UninstallerModel::parseSize(output), expected);
    }

    void scanReadsPlistsAndSizes()
    {
        const QString zoom = makeBundle(QStringLiteral("Zoom.app"), QStringLiteral("us.zoom.xos"));
        const QString calendar =
            makeBundle(QStringLiteral("calendar.app"), QStringLiteral("com.apple.iCal"), BundleFactory::PlistFormat::binary);
        const QString chrome = apps_ + QStringLiteral("/Google Chrome.app");
        QVERIFY(QDir().mkpath(chrome + QStringLiteral("/Contents")));
        BundleFactory::App broken;
        broken.fileName = QStringLiteral("Ärger.app");
        broken.rawInfoPlist = QByteArrayLiteral("<plist><dict><key>CFBundleIdentifier</key>");
        const QString umlaut = BundleFactory::create(apps_, broken);
        BundleFactory::App numeric;
        numeric.fileName = QStringLiteral("Numeric.app");
        numeric.info = {{"CFBundleIdentifier", 42}};
        const QString number = BundleFactory::create(apps_, numeric);

        FakeCommandRunner runner;
        runner.on(UninstallerModel::scanCommand(),
                  {zoom + "\n" + calendar + "\n" + chrome + "\n" + umlaut + "\n" + number + "\n", {}, 0});
        runner.on(duLine(zoom), {QStringLiteral("250"), {}, 0});
        runner.on(duLine(calendar), {QStringLiteral("12.5"), {}, 0});
        runner.on(duLine(chrome), {QString(), QStringLiteral("du: permission denied"), 1});
        runner.on(duLine(umlaut), {QStringLiteral("abc"), {}, 0});

        auto model = UninstallerModel::create();
        QSignalSpy scanning(model.get(), &UninstallerModel::isScanningChanged);
        QCoro::waitFor(model->scan());
        QCOMPARE(scanning.size(), 2);
        QVERIFY(!model->isScanning());
        QCOMPARE(runner.commands().first(), UninstallerModel::scanCommand());
        QCOMPARE(runner.commands().size(), 6);

        QStringList names, ids, paths;
        QList<double> sizes;
        QSet<QUuid> uuids;
        for (const InstalledApp& app : model->apps()) {
            names << app.name;
            ids << app.bundleID;
            paths << app.path;
            sizes << app.sizeMB;
            uuids.insert(app.id);
            QVERIFY(!app.isSelected);
        }
        QCOMPARE(names, (QStringList{"Google Chrome", "Numeric", "Zoom", "calendar", "Ärger"}));
        QCOMPARE(ids, (QStringList{"google.chrome", "numeric", "us.zoom.xos", "com.apple.iCal", "ärger"}));
        QCOMPARE(paths, (QStringList{chrome, number, zoom, calendar, umlaut}));
        QCOMPARE(sizes, (QList<double>{0, 0, 250, 12.5, 0}));
        QCOMPARE(uuids.size(), 5);

        // A second scan makes new records.
        QCoro::waitFor(model->scan());
        for (const InstalledApp& app : model->apps())
            QVERIFY(!uuids.contains(app.id));
    }

    void scanKeepsTheSelection()
    {
        FakeCommandRunner runner;
        auto model = UninstallerModel::create();
        const InstalledApp chosen = record(apps_ + QStringLiteral("/Gone.app"), QStringLiteral("x"));
        model->setSelectedApp(chosen);
        QCoro::waitFor(model->scan());
        QVERIFY(model->apps().isEmpty());
        QCOMPARE(model->selectedApp(), std::optional<InstalledApp>(chosen));
    }

    void appearanceScanStopsWhenTheScreenIsLeft()
    {
        // The listing is held until the screen has been left.
        std::atomic<bool> release{false};
        FakeCommandRunner runner;
        runner.otherwise([&release](const QString&) {
            while (!release)
                QThread::msleep(2);
            return ShellResult{QStringLiteral("/Applications/A.app"), {}, 0};
        });
        auto model = UninstallerModel::create();
        model->appearanceTask();
        QVERIFY(model->isScanning());
        model->appearance.end();
        release = true;
        QTest::qWait(200);
        QVERIFY(!model->isScanning());
        QVERIFY(model->apps().isEmpty());
    }

    void appearanceScanDoesNotKeepTheModel()
    {
        FakeCommandRunner runner;
        runner.on(UninstallerModel::scanCommand(), {QStringLiteral("/Applications/A.app"), {}, 0});
        std::weak_ptr<UninstallerModel> weak;
        {
            auto model = UninstallerModel::create();
            weak = model;
            model->appearanceTask();
        }
        QVERIFY(weak.expired());
        QTest::qWait(200);
    }

    void uninstallRemovesBundleThenLeftovers()
    {
        const QString bundle = makeBundle(QStringLiteral("Foo.app"), QStringLiteral("com.example.foo"));
        const QString support = files_.home + QStringLiteral("/Library/Application Support/Foo");
        const QString caches = files_.home + QStringLiteral("/Library/Caches/com.example.foo");
        const QString prefs = library_ + QStringLiteral("/Preferences/com.example.foo.plist");
        const QString unrelated = files_.home + QStringLiteral("/Library/Caches/com.example.foobar");
        for (const QString& folder : {support, caches, unrelated})
            QVERIFY(QDir().mkpath(folder));
        QVERIFY(BundleFactory::writeFile(prefs, "p"));

        FakeAuthorization auth;
        auth.on(UninstallerModel::killCommand(clearedForRoot(bundle)), PrivilegedAnswer::fail(AuthError::userCancelled()));
        auth.otherwise([&](const QString& line) {
            if (line == removeLine(bundle))
                QDir(bundle).removeRecursively();
            if (line == removeLine(prefs))
                QFile::remove(prefs);
            return PrivilegedAnswer::ok();
        });
        auto model = UninstallerModel::create();
        const InstalledApp other = record(apps_ + QStringLiteral("/Other.app"), QStringLiteral("o"));
        // The list is only written by scans; put records in through a scan of a fake listing.
        FakeCommandRunner runner;
        runner.on(UninstallerModel::scanCommand(), {bundle + "\n" + other.path + "\n" + bundle, {}, 0});
        QCoro::waitFor(model->scan());
        QCOMPARE(model->apps().size(), 3);
        model->setSelectedApp(model->apps().first());
        QCOMPARE(model->selectedApp()->path, bundle);

        QCoro::waitFor(model->uninstall());
        settle();
        QCOMPARE(auth.commands(),
                 (QStringList{UninstallerModel::killCommand(clearedForRoot(bundle)), removeLine(bundle), removeLine(prefs)}));
        QCOMPARE(model->log(),
                 (QStringList{QStringLiteral("🔄 プロセスを終了中…"), QStringLiteral("✅ プロセス終了（または未起動）"),
                              QStringLiteral("🗑 削除中: ") + bundle, QStringLiteral("✅ 削除完了: ") + bundle,
                              QStringLiteral("🧹 残存ファイルを削除中（3件）…"), QStringLiteral("  ✅ ") + support,
                              QStringLiteral("  ✅ ") + caches, QStringLiteral("  ✅ ") + prefs,
                              QStringLiteral("🎉 アンインストール完了！")}));
        QVERIFY(!QFileInfo::exists(bundle));
        QVERIFY(!QFileInfo::exists(support));
        QVERIFY(!QFileInfo::exists(caches));
        QVERIFY(QFileInfo::exists(unrelated));
        QVERIFY(!model->isUninstalling());
        QVERIFY(!model->selectedApp());
        // Both records of the removed path are gone (the scan listed it twice).
        QCOMPARE(model->apps().size(), 1);
        QCOMPARE(model->apps().first().path, other.path);
        QCOMPARE(AppState::shared().globalMessage(), std::optional<QString>(QStringLiteral("Foo を削除しました")));
        QVERIFY(!AppState::shared().globalMessageIsError());
    }

    void bundleAlreadyGone()
    {
        const QString bundle = apps_ + QStringLiteral("/Gone.app");
        const QString support = files_.home + QStringLiteral("/Library/Application Support/Gone");
        QVERIFY(QDir().mkpath(support));
        FakeAuthorization auth;
        auto model = UninstallerModel::create();
        model->setSelectedApp(record(bundle, QStringLiteral("com.example.gone")));
        QCoro::waitFor(model->uninstall());
        settle();
        QCOMPARE(auth.commands(), QStringList{UninstallerModel::killCommand(clearedForRoot(bundle))});
        QCOMPARE(model->log(),
                 (QStringList{QStringLiteral("🔄 プロセスを終了中…"), QStringLiteral("✅ プロセス終了（または未起動）"),
                              QStringLiteral("⚠️ アプリが見つかりません（既に削除済み?）"),
                              QStringLiteral("🧹 残存ファイルを削除中（1件）…"), QStringLiteral("  ✅ ") + support,
                              QStringLiteral("🎉 アンインストール完了！")}));
        QVERIFY(!model->selectedApp());
        QCOMPARE(AppState::shared().globalMessage(), std::optional<QString>(QStringLiteral("Gone を削除しました")));
    }

    void noLeftovers()
    {
        FakeAuthorization auth;
        auto model = UninstallerModel::create();
        model->setSelectedApp(record(apps_ + QStringLiteral("/None.app"), QStringLiteral("com.example.none")));
        QCoro::waitFor(model->uninstall());
        QCOMPARE(model->log().at(3), QStringLiteral("ℹ️ 残存ファイルなし"));
        QCOMPARE(model->log().last(), QStringLiteral("🎉 アンインストール完了！"));
    }

    // An application that could not be removed keeps its data, and no success is reported.
    void bundleThatStaysKeepsItsLeftovers_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::addColumn<QString>("resultLine");
        QTest::newRow("returns normally") << false << QStringLiteral("❌ 削除失敗: ");
        QTest::newRow("cancelled") << true << QStringLiteral("❌ エラー: 認証がキャンセルされました。");
    }
    void bundleThatStaysKeepsItsLeftovers()
    {
        QFETCH(bool, throws);
        QFETCH(QString, resultLine);
        const QString bundle = makeBundle(QStringLiteral("Stays.app"), QStringLiteral("com.example.stays"));
        const QString support = files_.home + QStringLiteral("/Library/Application Support/Stays");
        QVERIFY(QDir().mkpath(support));
        FakeAuthorization auth;
        if (throws)
            auth.on(removeLine(bundle), PrivilegedAnswer::fail(AuthError::userCancelled()));
        auto model = UninstallerModel::create();
        const InstalledApp app = record(bundle, QStringLiteral("com.example.stays"));
        model->setSelectedApp(app);
        QCoro::waitFor(model->uninstall());
        settle();
        const QStringList log = model->log();
        QCOMPARE(log.at(3), throws ? resultLine : resultLine + bundle);
        QCOMPARE(log.at(4), QStringLiteral("⏭ アプリが残っているため、残存ファイルは削除しませんでした"));
        QCOMPARE(log.at(5), QStringLiteral("🎉 アンインストール完了！"));
        QCOMPARE(log.at(6), QStringLiteral("⚠️ アプリがまだ存在しています。手動での削除をお試しください。"));
        QCOMPARE(log.size(), 7);
        QVERIFY(QFileInfo::exists(support));
        QCOMPARE(auth.commands().size(), 2);
        QCOMPARE(model->selectedApp(), std::optional<InstalledApp>(app));
        QCOMPARE(AppState::shared().globalMessage(), std::optional<QString>(QStringLiteral("Stays を削除できませんでした")));
        QVERIFY(AppState::shared().globalMessageIsError());
    }

    void leftoverFailures()
    {
        const QString bundle = apps_ + QStringLiteral("/Bar.app");
        const QString container = files_.home + QStringLiteral("/Library/Containers/com.example.bar");
        const QString supportSystem = library_ + QStringLiteral("/Application Support/Bar");
        const QString prefsSystem = library_ + QStringLiteral("/Preferences/com.example.bar.plist");
        QVERIFY(QDir().mkpath(container));
        QVERIFY(QDir().mkpath(supportSystem));
        QVERIFY(BundleFactory::writeFile(prefsSystem, "p"));
        files_.protectedPaths.insert(container);
        FakeAuthorization auth;
        // One root removal "succeeds" without removing anything, the other is cancelled.
        auth.on(removeLine(prefsSystem), PrivilegedAnswer::fail(AuthError::userCancelled()));
        auto model = UninstallerModel::create();
        model->setSelectedApp(record(bundle, QStringLiteral("com.example.bar")));
        QCoro::waitFor(model->uninstall());
        settle();
        QCOMPARE(model->log().mid(3),
                 (QStringList{QStringLiteral("🧹 残存ファイルを削除中（3件）…"),
                              QStringLiteral("  ⚠️ スキップ: ") + supportSystem,
                              QStringLiteral("  ⚠️ スキップ: ") + container + QStringLiteral(" — “com.example.bar”を削除できませんでした。 ")
                                  + qt_error_string(EPERM),
                              QStringLiteral("  ⚠️ スキップ: ") + prefsSystem + QStringLiteral(" — 認証がキャンセルされました。"),
                              QStringLiteral("🎉 アンインストール完了！")}));
        // The bundle was gone, so the removal counts as done.
        QCOMPARE(AppState::shared().globalMessage(), std::optional<QString>(QStringLiteral("Bar を削除しました")));
        QVERIFY(!model->selectedApp());
    }

    void hostileIdentifierLeavesTheLibraryAlone()
    {
        const QString bundle = makeBundle(QStringLiteral("Evil.app"), QStringLiteral(".."));
        for (const char* folder : {"Application Support", "Caches", "Preferences", "Containers"})
            QVERIFY(QDir().mkpath(files_.home + QStringLiteral("/Library/") + QLatin1String(folder)));
        FakeAuthorization auth;
        auth.otherwise([&](const QString& line) {
            if (line == removeLine(bundle))
                QDir(bundle).removeRecursively();
            return PrivilegedAnswer::ok();
        });
        FakeCommandRunner runner;
        runner.on(UninstallerModel::scanCommand(), {bundle, {}, 0});
        auto model = UninstallerModel::create();
        QCoro::waitFor(model->scan());
        QCOMPARE(model->apps().size(), 1);
        QCOMPARE(model->apps().first().bundleID, QStringLiteral(".."));
        model->setSelectedApp(model->apps().first());
        QCoro::waitFor(model->uninstall());
        QCOMPARE(model->log().at(4), QStringLiteral("ℹ️ 残存ファイルなし"));
        QCOMPARE(auth.commands().size(), 2);
        for (const char* folder : {"Application Support", "Caches", "Preferences", "Containers"})
            QVERIFY(QFileInfo::exists(files_.home + QStringLiteral("/Library/") + QLatin1String(folder)));
    }

    void nothingSelectedDoesNothing()
    {
        FakeAuthorization auth;
        auto model = UninstallerModel::create();
        QCoro::waitFor(model->uninstall());
        QVERIFY(auth.commands().isEmpty());
        QVERIFY(model->log().isEmpty());
    }

    void confirmationTexts()
    {
        auto model = UninstallerModel::create();
        QCOMPARE(model->confirmTitle(), QStringLiteral("「」を完全に削除しますか？"));
        model->setSelectedApp(record(QStringLiteral("/Applications/Safari.app"), QStringLiteral("com.apple.Safari")));
        QCOMPARE(model->confirmTitle(), QStringLiteral("「Safari」を完全に削除しますか？"));
        QCOMPARE(UninstallerModel::confirmMessage(),
                 QStringLiteral("アプリ本体と関連ファイルをすべて削除します。この操作は元に戻せません。"));
    }
};

QTEST_GUILESS_MAIN(UninstallerTest)
#include "tst_uninstaller.moc"
