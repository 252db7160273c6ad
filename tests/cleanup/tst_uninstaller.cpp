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

QString removeLine(const QString& path) { return UninstallerModel::removeCommand(clearedForRoot(path)); }

QStringList namesOf(const QList<InstalledApp>& apps)
{
    QStringList names;
    for (const InstalledApp& app : apps)
        names << app.name;
    return names;
}

// A root removal line really removes the path.
struct Fixture : TempTree {
    FakeCommandRunner runner;
    FakeAuthorization auth;
    BannerMessages messages;

    Fixture()
    {
        auth.otherwise([](const QString& line) {
            if (const qsizetype at = line.lastIndexOf("rm -rf '"); at >= 0 && line.endsWith('\''))
                platform::FileManager::systemDefault().removeItem(line.mid(at + 8).chopped(1));
            return PrivilegedAnswer::ok();
        });
    }
    QString bundle(const QString& fileName, const QString& bundleID, BundleFactory::PlistFormat format = BundleFactory::PlistFormat::xml)
    { return BundleFactory::createApp(apps, fileName, "x", "x", bundleID, format); }
    // The list is only written by a scan.
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
        // Code points of the NFC forms (U+1F600 sorts above U+FF21); canonically equal names keep their order.
        QCOMPARE(namesOf(apps), (QStringList{"1", "Zoom", "calendar", composed, decomposed, QStringLiteral("\uFF21"), QStringLiteral("\U0001F600")}));
        // Not the identifier nor the path.
        QCOMPARE(namesOf(UninstallerModel::filter(apps, "ZOO") + UninstallerModel::filter(apps, "com.") + UninstallerModel::filter(apps, "Applications")), QStringList{"Zoom"});
    }

    void scanReadsPlistsAndSizes()
    {
        Fixture f;
        const QString calendar = f.bundle("calendar.app", "com.apple.iCal", BundleFactory::PlistFormat::binary);
        const QString umlaut = BundleFactory::create(f.apps, {"Ärger.app", {}, {}, QByteArrayLiteral("<plist><dict><key>CFBundleIdentifier</key>"), true, {}, true});
        const QString number = BundleFactory::create(f.apps, {"Numeric.app", {{"CFBundleIdentifier", 42}}, {}, std::nullopt, true, {}, true});
        f.runner.on(bundleSizeCommand(calendar), {"12.5", {}, 0});
        f.runner.on(bundleSizeCommand(number), {"", "du: permission denied", 1});
        const auto model = f.scanned({calendar, umlaut, number, ""});
        QStringList records;
        QSet<QUuid> uuids;
        for (const InstalledApp& app : model->apps()) {
            records << QStringLiteral("%1|%2|%3|%4").arg(app.name, app.bundleID, app.path).arg(app.sizeMB);
            uuids.insert(app.id);
        }
        QCOMPARE(records << QString::number(uuids.size()), (QStringList{"Numeric|numeric|" + number + "|0", "calendar|com.apple.iCal|" + calendar + "|12.5",
                                                                          "Ärger|ärger|" + umlaut + "|0", "3"}));

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
        // Nor does it keep the model alive.
        const std::weak_ptr<UninstallerModel> weak = [] { auto other = UninstallerModel::create(); other->appearanceTask(); return std::weak_ptr(other); }();
        QVERIFY(weak.expired());
        QTest::qWait(100);
    }

    // A bundle removed or already gone takes its leftovers and every record of its path; one that
    // stays keeps them, and no success is reported. A cancelled kill stops nothing.
    void bundleRemovedGoneOrStaying()
    {
        const QString done = "🎉 アンインストール完了！", notFound = "⚠️ アプリが見つかりません（既に削除済み?）",
                      kept = "⏭ アプリが残っているため、残存ファイルは削除しませんでした", stays = "⚠️ アプリがまだ存在しています。手動での削除をお試しください。";
        const std::tuple<bool, bool, std::optional<PrivilegedAnswer>, QStringList> rows[] = {
            {true, true, std::nullopt, {"🗑 削除中: @bundle", "✅ 削除完了: @bundle", "🧹 残存ファイルを削除中（1件）…", "  ✅ @support", done, "App を削除しました"}},
            {false, true, PrivilegedAnswer::ok(), {notFound, "🧹 残存ファイルを削除中（1件）…", "  ✅ @support", done, "App を削除しました"}},
            {false, false, PrivilegedAnswer::ok(), {notFound, "ℹ️ 残存ファイルなし", done, "App を削除しました"}},
            {true, true, PrivilegedAnswer::ok(), {"🗑 削除中: @bundle", "❌ 削除失敗: @bundle", kept, done, stays, "!App を削除できませんでした"}},
            {true, true, PrivilegedAnswer::fail(AuthError::userCancelled()),
             {"🗑 削除中: @bundle", "❌ エラー: 認証がキャンセルされました。", kept, done, stays, "!App を削除できませんでした"}},
        };
        for (const auto& [exists, leftover, removal, tail] : rows) {
            Fixture f;
            const QString bundle = exists ? f.bundle("App.app", "com.example.app") : f.apps + "/App.app";
            const QString support = f.home + "/Library/Application Support/App";
            QVERIFY(!leftover || f.make({support + "/"}));
            f.auth.on(UninstallerModel::killCommand(clearedForRoot(bundle)), PrivilegedAnswer::fail(AuthError::userCancelled()));
            if (removal)
                f.auth.on(removeLine(bundle), *removal);
            const auto model = f.scanned({bundle, bundle});
            const InstalledApp app = model->apps().first();
            model->setSelectedApp(app);
            settle(model->uninstall());
            QStringList expected{UninstallerModel::killCommand(clearedForRoot(bundle)), "🔄 プロセスを終了中…", "✅ プロセス終了（または未起動）"};
            for (QString line : tail)
                expected << line.replace("@bundle", bundle).replace("@support", support);
            QCOMPARE(f.auth.commands().mid(0, 1) + model->log() + f.messages.take(), expected);
            QCOMPARE(f.auth.commands(), QStringList(expected.first()) + (exists ? QStringList{removeLine(bundle)} : QStringList{}));
            const bool remains = QFileInfo::exists(bundle);
            QCOMPARE(model->selectedApp(), remains ? std::optional<InstalledApp>(app) : std::nullopt);
            QCOMPARE(model->apps().size(), remains ? 2 : 0);
            QCOMPARE(QFileInfo::exists(support), leftover && remains);
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
        settle(model->uninstall());   // nothing selected: nothing happens
        QVERIFY(f.auth.commands().isEmpty() && model->log().isEmpty());
        model->setSelectedApp(InstalledApp{QUuid::createUuid(), "Bar", "com.example.bar", f.apps + "/Bar.app", 10, false});
        settle(model->uninstall());
        // The bundle was gone, so the removal counts as done.
        QCOMPARE(model->log().mid(3) + f.messages.take(),
                 (QStringList{"🧹 残存ファイルを削除中（3件）…", "  ⚠️ スキップ: " + supportSystem,
                              "  ⚠️ スキップ: " + container + " — “com.example.bar”を削除できませんでした。 " + qt_error_string(EACCES),
                              "  ⚠️ スキップ: " + prefsSystem + " — 認証がキャンセルされました。", "🎉 アンインストール完了！", "Bar を削除しました"}));
    }
};

QTEST_GUILESS_MAIN(UninstallerTest)
#include "tst_uninstaller.moc"
