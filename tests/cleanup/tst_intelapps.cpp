#include "cleanup/IntelAppsModel.h"
#include "cleanup/UninstallerModel.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/FakeWorkspace.h"
#include "support/RootPaths.h"
#include "support/TempTree.h"

#include <QtTest>

namespace {

QString intelApp(const QString& folder, const QString& name, const QString& bundleID = QStringLiteral("com.example.app"))
{ return BundleFactory::createApp(folder, name + ".app", BundleFactory::thinMachO(BundleFactory::cpuX86_64), name, bundleID); }

// The tree with fakes for the shell (every du answers 300), the workspace and root.
struct Fixture : TempTree {
    FakeCommandRunner runner;
    FakeWorkspace workspace;
    FakeAuthorization auth;

    Fixture() { runner.otherwise([](const QString&) { return ShellResult{"300", {}, 0}; }); }
    std::shared_ptr<IntelAppsModel> scanned(const QStringList& roots)
    {
        auto model = IntelAppsModel::create(roots, RosettaInfo{true, true});
        settle(model->scan());
        return model;
    }
};

} // namespace

class IntelAppsTest : public QObject {
    Q_OBJECT

private slots:
    // The exact root lines of both removal screens: quoting, the anchored kill pattern, the
    // batch's Trash names (taken or repeated names numbered), and the closing "; true".
    void rootCommandLines()
    {
        const RootPath bob = clearedForRoot(QStringLiteral("/Applications/Bob's App.app"));
        const std::pair<QString, QString> rows[] = {
            {UninstallerModel::killCommand(bob), "pkill -9 -f '^/Applications/Bob'\\''s App\\.app(/|$)' 2>/dev/null; true"},
            {UninstallerModel::removeCommand(bob), "rm -rf '/Applications/Bob'\\''s App.app'"},
            {IntelAppsModel::permanentCommand(clearedForRoot({"/Applications/Bob's App.app", "/x"})),
             "/bin/rm -rf '/Applications/Bob'\\''s App.app'; /bin/rm -rf '/x'; true"},
            {IntelAppsModel::trashCommand(clearedForRoot({"/A/Foo", "/B/Foo", "/C/it's"}), clearedForRoot({"/H/.Trash"}, Operation::empty).first(), 501, 7,
                                          [](const QString& path) { return path == "/H/.Trash/7_Foo"; }),
             "/bin/mv '/A/Foo' '/H/.Trash/7_2_Foo' && /usr/sbin/chown -R 501 '/H/.Trash/7_2_Foo'; "
             "/bin/mv '/B/Foo' '/H/.Trash/7_3_Foo' && /usr/sbin/chown -R 501 '/H/.Trash/7_3_Foo'; "
             "/bin/mv '/C/it'\\''s' '/H/.Trash/7_it'\\''s' && /usr/sbin/chown -R 501 '/H/.Trash/7_it'\\''s'; true"},
        };
        for (const auto& [line, expected] : rows)
            QCOMPARE(line, expected);
    }

    void selectionAndConfirmationTexts()
    {
        Fixture f;
        f.runner.on(bundleSizeCommand(intelApp(f.apps, "B")), {"1748", {}, 0});
        intelApp(f.apps, "A");
        intelApp(f.apps, "C");
        auto model = f.scanned({f.apps});
        QVERIFY(model->totalSizeMB() == 2348 && !model->canRemove());
        settle(model->removeSelected());   // nothing ticked: nothing happens
        QVERIFY(model->log().isEmpty() && f.auth.commands().isEmpty() && model->apps().size() == 3);
        model->setSelected(model->apps().at(0).id, true);
        model->setSelected(model->apps().at(1).id, true);
        const auto texts = [&] { return QStringList{model->selectionText(), model->confirmTitle(), model->confirmMessage(), model->confirmButtonText()}; };
        model->setRemovalMethod(RemovalMethod::permanent);
        QCOMPARE(texts(), (QStringList{"選択中: 2 個 / 約2.0 GB", "2 個のアプリを完全に削除しますか？", "合計 約2.0 GB。設定・キャッシュなどの関連ファイルも一緒に処理します。この操作は元に戻せません。起動中のアプリは終了されます。", "完全に削除"}));
        model->setRemovalMethod(RemovalMethod::trash);
        model->setIncludeLeftovers(false);
        QCOMPARE(texts().mid(1), (QStringList{"2 個のアプリをゴミ箱に移動しますか？", "合計 約2.0 GB。アプリ本体のみ処理します。ゴミ箱から元に戻せます。起動中のアプリは終了されます。", "ゴミ箱に移動"}));
    }

    void scansReplaceEveryEntryAndTheAppearanceScansOnce()
    {
        Fixture f;
        intelApp(f.apps, "Old");
        auto model = IntelAppsModel::create(QStringList{f.apps}, RosettaInfo{});
        settle(model->appearanceTask());
        QVERIFY(model->hasScanned() && model->totalScanned() == 1 && model->apps().first().sizeMB == 300);
        const QUuid first = model->apps().first().id;
        model->setAllSelected(true);
        settle(model->appearanceTask());   // not again
        QVERIFY(model->apps().first().isSelected);
        settle(model->scan());
        QVERIFY(model->apps().size() == 1 && model->apps().first().id != first);
        QVERIFY(!model->apps().first().isSelected);
    }

    // The system reports where a running bundle really lies; read after each scan and removal.
    void runningStateFollowsScansAndRemovals()
    {
        Fixture f;
        const QString real = f.root + "/Real", linked = f.root + "/Linked";
        QVERIFY(!intelApp(real, "A").isEmpty() && !intelApp(real, "B").isEmpty() && QFile::link(real, linked));
        f.workspace.running = {{1, real + "/A.app", "A"}, {2, "", "No bundle"}};
        auto model = f.scanned({linked});
        QVERIFY(model->isRunning(linked + "/A.app") && !model->isRunning(linked + "/B.app"));
        f.workspace.running.clear();
        model->setAllSelected(true);
        settle(model->removeSelected());
        QVERIFY(!model->isRunning(linked + "/A.app"));
    }

    void cancelledPasswordKeepsTheEntries()
    {
        Fixture f;
        const QString bundle = intelApp(f.root + "/SystemApps", "Sys");
        f.files.undeletable = {bundle};
        auto model = f.scanned({f.root + "/SystemApps"});
        model->setAllSelected(true);
        model->setRemovalMethod(RemovalMethod::permanent);
        f.auth.failAll(AuthError::userCancelled());
        settle(model->removeSelected());
        QCOMPARE(f.auth.commands(), QStringList{IntelAppsModel::permanentCommand(clearedForRoot(QStringList{bundle}))});
        QVERIFY(model->log().endsWith("🎉 完了！") && model->apps().size() == 1 && model->apps().first().isSelected);
    }

    void administratorRunOutcomes()
    {
        Fixture f;
        const QString stays = f.library + "/Preferences/x.plist", gone = f.library + "/gone";
        QVERIFY(f.make({stays}));
        auto model = f.scanned({});
        QCoro::waitFor(model->removeWithAdmin({stays, gone}, RemovalMethod::permanent, Allowance({stays, gone})));
        QCOMPARE(model->log(), (QStringList{"🔑 管理者権限が必要な項目があります（2件）…", "  ⚠️ 処理できませんでした: " + stays, "  ✅ " + gone}));
        f.auth.failAll(AuthError::commandFailed(" boom \n"));
        QCoro::waitFor(model->removeWithAdmin({gone}, RemovalMethod::permanent, Allowance({gone})));
        QCOMPARE(model->log().last(), "❌ エラー: コマンド失敗: boom");
    }

    void homeFailureIsSkippedNotEscalated()
    {
        Fixture f;
        const QString support = f.home + "/Library/Application Support/Foo";
        QVERIFY(f.make({support + "/"}));
        f.files.undeletable = {support};
        const IntelOnlyApp app{QUuid::createUuid(), "Foo", {}, f.root + "/missing/Foo.app", {}, {}, {}, 0, false};
        // The bundle itself always escalates, and its leftovers wait until it is gone.
        for (const LeftoverScope scope : {LeftoverScope::bundleAndLeftovers, LeftoverScope::bundleOnly}) {
            const IntelAppsModel::UserRemoval removed = IntelAppsModel::removeApp(app, RemovalMethod::permanent, scope);
            QCOMPARE(removed.needsAdministrator + removed.log, QStringList{app.path});
            QCOMPARE(removed.leftoversPending, scope == LeftoverScope::bundleAndLeftovers);
        }
        const IntelAppsModel::UserRemoval leftovers = IntelAppsModel::removeLeftovers(app, RemovalMethod::permanent);
        QCOMPARE(leftovers.needsAdministrator + leftovers.log, QStringList{"  ⚠️ スキップ: " + support});
    }
};

QTEST_GUILESS_MAIN(IntelAppsTest)
#include "tst_intelapps.moc"
