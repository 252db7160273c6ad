#include "cleanup/UninstallerModel.h"
#include "support/BannerMessages.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/RootPaths.h"
#include "support/TempTree.h"

#include <QSet>
#include <QThread>
#include <QtTest>

#include <atomic>

namespace {

QString removeLine(const QString& path) { return "rm -rf '" + path + "'"; }

InstalledApp record(const QString& path, const QString& bundleID = QStringLiteral("x"))
{
    return InstalledApp{QUuid::createUuid(), InstalledApp::nameFromPath(path), bundleID, path, 10, false};
}

QStringList namesOf(const QList<InstalledApp>& apps)
{
    QStringList names;
    std::transform(apps.begin(), apps.end(), std::back_inserter(names), [](const InstalledApp& app) { return app.name; });
    return names;
}

// The tree, fakes for the shell and for root, and the banner. A root line that names a
// path the test created really removes it.
struct Fixture : TempTree {
    FakeCommandRunner runner;
    FakeAuthorization auth;
    BannerMessages messages;

    Fixture()
    {
        auth.otherwise([](const QString& line) {
            if (line.startsWith("rm -rf '") && line.endsWith('\''))
                platform::FileManager::systemDefault().removeItem(line.mid(8).chopped(1));
            return PrivilegedAnswer::ok();
        });
    }
    QString bundle(const QString& fileName, const QString& bundleID, BundleFactory::PlistFormat format = BundleFactory::PlistFormat::xml)
    {
        return BundleFactory::createApp(apps, fileName, "x", "x", bundleID, format);
    }
    // The model with records for `paths`, put in the only way the list is written: a scan.
    std::shared_ptr<UninstallerModel> scanned(const QStringList& paths)
    {
        runner.on(UninstallerModel::scanCommand(), {paths.join('\n'), {}, 0});
        auto model = UninstallerModel::create();
        settle(model->scan());
        return model;
    }
};

} // namespace

class UninstallerTest : public QObject {
    Q_OBJECT

private slots:
    void bundlePathsAndSizesFromOutput()
    {
        // "evil\nx.app" prints as two lines; neither piece is a bundle of its own.
        QCOMPARE(UninstallerModel::bundlePaths("\n/Applications/A.app\n\n/Applications/evil\nx.app\n/Users/u/Applications\n.app\n"
                                               "find: '/System/Applications': No such file\n/Applications/A.app.bak\n/Applications/A.APP\n"
                                               "/Applications/C.app"),
                 (QStringList{"/Applications/A.app", "/Applications/C.app"}));
        const std::pair<const char*, double> sizes[] = {{" 12\n", 12}, {"12.5", 12.5}, {"du: cannot access", 0}, {"12\n13", 0}, {"nan", 0}};
        for (const auto& [output, size] : sizes)
            QCOMPARE(UninstallerModel::parseSize(output), size);
    }

    void sortAndFilter()
    {
        const QString composed = QStringLiteral("\u00E9"), decomposed = QStringLiteral("e\u0301");
        QList<InstalledApp> apps;
        for (const QString& name : {composed, QStringLiteral("calendar"), decomposed, QStringLiteral("Zoom"),
                                    QStringLiteral("\U0001F600"), QStringLiteral("\uFF21"), QStringLiteral("1")})
            apps << InstalledApp{QUuid::createUuid(), name, "com." + name, "/Applications/" + name + ".app", 0, false};
        UninstallerModel::sortByName(apps);
        // Code points of the NFC forms (U+1F600 is above U+FF21, unlike its UTF-16 units);
        // canonically equal names keep their order.
        QCOMPARE(namesOf(apps), (QStringList{"1", "Zoom", "calendar", composed, decomposed, QStringLiteral("\uFF21"), QStringLiteral("\U0001F600")}));
        QCOMPARE(namesOf(UninstallerModel::filter(apps, "")), namesOf(apps));
        QCOMPARE(namesOf(UninstallerModel::filter(apps, "ZOO")), QStringList{"Zoom"});
        QVERIFY(UninstallerModel::filter(apps, "com.").isEmpty());          // not the identifier
        QVERIFY(UninstallerModel::filter(apps, "Applications").isEmpty());  // nor the path
    }

    void scanReadsPlistsAndSizes()
    {
        Fixture f;
        const QString zoom = f.bundle("Zoom.app", "us.zoom.xos");
        const QString calendar = f.bundle("calendar.app", "com.apple.iCal", BundleFactory::PlistFormat::binary);
        const QString chrome = f.apps + "/Google Chrome.app";
        QVERIFY(QDir().mkpath(chrome + "/Contents"));
        BundleFactory::App broken{"Ärger.app", {}, {}, QByteArrayLiteral("<plist><dict><key>CFBundleIdentifier</key>"), true, {}, true};
        const QString umlaut = BundleFactory::create(f.apps, broken);
        BundleFactory::App numeric{"Numeric.app", {{"CFBundleIdentifier", 42}}, {}, std::nullopt, true, {}, true};
        const QString number = BundleFactory::create(f.apps, numeric);
        f.runner.on(bundleSizeCommand(zoom), {"250", {}, 0});
        f.runner.on(bundleSizeCommand(calendar), {"12.5", {}, 0});
        f.runner.on(bundleSizeCommand(chrome), {"", "du: permission denied", 1});
        f.runner.on(bundleSizeCommand(umlaut), {"abc", {}, 0});
        const auto model = f.scanned({zoom, calendar, chrome, umlaut, number, ""});
        QCOMPARE(f.runner.commands().size(), 6);
        QVERIFY(!model->isScanning());
        QStringList records;
        QSet<QUuid> uuids;
        for (const InstalledApp& app : model->apps()) {
            records << QStringLiteral("%1|%2|%3|%4").arg(app.name, app.bundleID, app.path).arg(app.sizeMB);
            uuids.insert(app.id);
        }
        QCOMPARE(records, (QStringList{"Google Chrome|google.chrome|" + chrome + "|0", "Numeric|numeric|" + number + "|0",
                                       "Zoom|us.zoom.xos|" + zoom + "|250", "calendar|com.apple.iCal|" + calendar + "|12.5",
                                       "Ärger|ärger|" + umlaut + "|0"}));
        QCOMPARE(uuids.size(), 5);

        // A new scan makes new records and keeps the selection, even of an entry now gone.
        const InstalledApp chosen = model->apps().first();
        model->setSelectedApp(chosen);
        settle(model->scan());
        for (const InstalledApp& app : model->apps())
            QVERIFY(!uuids.contains(app.id));
        QCOMPARE(model->selectedApp(), std::optional<InstalledApp>(chosen));
    }

    void appearanceScanStopsWhenTheScreenIsLeft()
    {
        std::atomic<bool> release{false};   // the listing is held until the screen has been left
        FakeCommandRunner runner;
        runner.otherwise([&release](const QString&) {
            while (!release)
                QThread::msleep(2);
            return ShellResult{"/Applications/A.app", {}, 0};
        });
        auto model = UninstallerModel::create();
        model->appearanceTask();
        QVERIFY(model->isScanning());
        model->appearance.end();
        release = true;
        QTest::qWait(200);
        QVERIFY(!model->isScanning() && model->apps().isEmpty());

        std::weak_ptr<UninstallerModel> weak;   // nor does it keep the model alive
        {
            auto other = UninstallerModel::create();
            weak = other;
            other->appearanceTask();
        }
        QVERIFY(weak.expired());
        QTest::qWait(100);
    }

    void uninstallRemovesBundleThenLeftovers()
    {
        Fixture f;
        const QString bundle = f.bundle("Foo.app", "com.example.foo");
        const QString support = f.home + "/Library/Application Support/Foo", caches = f.home + "/Library/Caches/com.example.foo";
        const QString prefs = f.library + "/Preferences/com.example.foo.plist", unrelated = caches + "bar";
        QVERIFY(f.make({support + "/", caches + "/", unrelated + "/", prefs}));
        f.auth.on(UninstallerModel::killCommand(clearedForRoot(bundle)), PrivilegedAnswer::fail(AuthError::userCancelled()));
        const QString other = f.apps + "/Other.app";
        const auto model = f.scanned({bundle, other, bundle});
        QCOMPARE(model->apps().size(), 3);
        model->setSelectedApp(model->apps().first());
        QCOMPARE(model->confirmTitle(), "「Foo」を完全に削除しますか？");
        settle(model->uninstall());
        QCOMPARE(f.auth.commands(), (QStringList{UninstallerModel::killCommand(clearedForRoot(bundle)), removeLine(bundle), removeLine(prefs)}));
        QCOMPARE(model->log(), (QStringList{"🔄 プロセスを終了中…", "✅ プロセス終了（または未起動）", "🗑 削除中: " + bundle,
                                            "✅ 削除完了: " + bundle, "🧹 残存ファイルを削除中（3件）…", "  ✅ " + support,
                                            "  ✅ " + caches, "  ✅ " + prefs, "🎉 アンインストール完了！"}));
        QVERIFY(!QFileInfo::exists(support) && !QFileInfo::exists(caches) && QFileInfo::exists(unrelated));
        QVERIFY(!model->isUninstalling() && !model->selectedApp());
        QCOMPARE(namesOf(model->apps()), QStringList{"Other"});   // both records of the removed path are gone
        QCOMPARE(f.messages.take(), QStringList{"Foo を削除しました"});
    }

    void bundleAlreadyGone()
    {
        for (bool leftover : {true, false}) {
            Fixture f;
            const QString bundle = f.apps + "/Gone.app", support = f.home + "/Library/Application Support/Gone";
            QVERIFY(!leftover || f.make({support + "/"}));
            auto model = UninstallerModel::create();
            model->setSelectedApp(record(bundle, "com.example.gone"));
            settle(model->uninstall());
            QCOMPARE(f.auth.commands(), QStringList{UninstallerModel::killCommand(clearedForRoot(bundle))});
            QStringList expected{"🔄 プロセスを終了中…", "✅ プロセス終了（または未起動）", "⚠️ アプリが見つかりません（既に削除済み?）"};
            expected << (leftover ? QStringList{"🧹 残存ファイルを削除中（1件）…", "  ✅ " + support} : QStringList{"ℹ️ 残存ファイルなし"});
            QCOMPARE(model->log(), expected << "🎉 アンインストール完了！");
            QVERIFY(!model->selectedApp());
            QCOMPARE(f.messages.take(), QStringList{"Gone を削除しました"});
        }
    }

    // An application that could not be removed keeps its data, and no success is reported.
    void bundleThatStaysKeepsItsLeftovers()
    {
        for (bool throws : {false, true}) {
            Fixture f;
            const QString bundle = f.bundle("Stays.app", "com.example.stays"), support = f.home + "/Library/Application Support/Stays";
            QVERIFY(QDir().mkpath(support));
            f.auth.on(removeLine(bundle), throws ? PrivilegedAnswer::fail(AuthError::userCancelled()) : PrivilegedAnswer::ok());
            auto model = UninstallerModel::create();
            const InstalledApp app = record(bundle, "com.example.stays");
            model->setSelectedApp(app);
            settle(model->uninstall());
            QCOMPARE(model->log().mid(3), (QStringList{throws ? "❌ エラー: 認証がキャンセルされました。" : "❌ 削除失敗: " + bundle,
                                                       "⏭ アプリが残っているため、残存ファイルは削除しませんでした", "🎉 アンインストール完了！",
                                                       "⚠️ アプリがまだ存在しています。手動での削除をお試しください。"}));
            QVERIFY(QFileInfo::exists(support));
            QCOMPARE(f.auth.commands().size(), 2);
            QCOMPARE(model->selectedApp(), std::optional<InstalledApp>(app));
            QCOMPARE(f.messages.take(), QStringList{"!Stays を削除できませんでした"});
        }
    }

    void leftoverFailures()
    {
        Fixture f;
        const QString container = f.home + "/Library/Containers/com.example.bar";
        const QString supportSystem = f.library + "/Application Support/Bar", prefsSystem = f.library + "/Preferences/com.example.bar.plist";
        QVERIFY(f.make({container + "/", supportSystem + "/", prefsSystem}));
        f.files.undeletable.insert(container);
        // One root removal "succeeds" without removing anything, the other is cancelled.
        f.auth.on(removeLine(supportSystem), PrivilegedAnswer::ok());
        f.auth.on(removeLine(prefsSystem), PrivilegedAnswer::fail(AuthError::userCancelled()));
        auto model = UninstallerModel::create();
        model->setSelectedApp(record(f.apps + "/Bar.app", "com.example.bar"));
        settle(model->uninstall());
        QCOMPARE(model->log().mid(3), (QStringList{"🧹 残存ファイルを削除中（3件）…", "  ⚠️ スキップ: " + supportSystem,
                                                   "  ⚠️ スキップ: " + container + " — “com.example.bar”を削除できませんでした。 " + qt_error_string(EACCES),
                                                   "  ⚠️ スキップ: " + prefsSystem + " — 認証がキャンセルされました。", "🎉 アンインストール完了！"}));
        QCOMPARE(f.messages.take(), QStringList{"Bar を削除しました"});   // the bundle was gone, so the removal counts as done
    }

    void nothingSelectedDoesNothing()
    {
        Fixture f;
        auto model = UninstallerModel::create();
        settle(model->uninstall());
        QVERIFY(f.auth.commands().isEmpty() && model->log().isEmpty());
    }
};

QTEST_GUILESS_MAIN(UninstallerTest)
#include "tst_uninstaller.moc"
