#include "app/AppState.h"
#include "cleanup/IntelAppsModel.h"
#include "cleanup/InstalledApp.h"
#include "platform/FileManager.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/RootPaths.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class FakeWorkspace final : public platform::Workspace {
public:
    QList<platform::RunningApplication> running;
    QSet<qint64> quitsWhenAsked;     // these end on the polite request
    QSet<qint64> ended;
    QList<qint64> terminated;
    QList<qint64> forced;
    QList<platform::RunningApplication> runningApplications() const override { return running; }
    bool terminate(const platform::RunningApplication& app) override
    {
        terminated << app.processId;
        if (quitsWhenAsked.contains(app.processId))
            ended.insert(app.processId);
        return true;
    }
    bool forceTerminate(const platform::RunningApplication& app) override
    {
        forced << app.processId;
        ended.insert(app.processId);
        return true;
    }
    bool isRunning(const platform::RunningApplication& app) const override { return !ended.contains(app.processId); }
};

// Home in the temporary tree; paths under `refused` cannot be moved or removed by the user.
class TestFiles final : public platform::FileManager {
public:
    QString home;
    QString refused;
    QString homeDirectory() const override { return home; }
    platform::TreeRemoval removeItem(const QString& path) const override
    {
        return isRefused(path) ? platform::TreeRemoval{0, 1, EACCES} : platform::FileManager::removeItem(path);
    }
    bool moveToTrash(const QString& path, QString* trashed) const override
    {
        if (isRefused(path))
            return false;
        // Into a Trash folder of the test's own, keeping the name unique.
        const QString trash = home + QStringLiteral("/.test-trash/");
        QDir().mkpath(trash);
        const QString target = trash + QString::number(++count_) + QLatin1Char('_') + QFileInfo(path).fileName();
        if (!QFile::rename(path, target))
            return false;
        if (trashed)
            *trashed = target;
        return true;
    }

private:
    bool isRefused(const QString& path) const { return !refused.isEmpty() && path.startsWith(refused); }
    mutable int count_ = 0;
};

IntelOnlyApp entry(const QString& name, const QString& path, qint64 size, bool selected,
                   const QString& bundleID = QStringLiteral("com.example.x"))
{
    IntelOnlyApp app;
    app.id = QUuid::createUuid();
    app.name = name;
    app.bundleID = bundleID;
    app.path = path;
    app.version = QStringLiteral("1.0");
    app.architecture = AppArchitecture::intelOnly;
    app.archLabel = QStringLiteral("x86_64");
    app.sizeMB = size;
    app.isSelected = selected;
    return app;
}

} // namespace

class IntelAppsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    TestFiles files_;
    QString library_;
    std::optional<platform::Service<platform::FileManager>::Override> useFiles_;
    LeftoverRoots roots_;
    std::optional<platform::Service<LeftoverRoots>::Override> useRoots_;

    // A model holding the given entries, as a scan of bundles in `folder` would leave them.
    std::shared_ptr<IntelAppsModel> modelWith(const QList<IntelOnlyApp>& entries)
    {
        const QString root = dir_.path() + QStringLiteral("/scan-root");
        QDir(root).removeRecursively();
        QDir().mkpath(root);
        for (const IntelOnlyApp& app : entries) {
            BundleFactory::App bundle;
            bundle.fileName = app.name + QStringLiteral(".app");
            bundle.info = BundleFactory::appInfo(app.name, app.bundleID, QStringLiteral("1.0"), QStringLiteral("Main"));
            bundle.executable = BundleFactory::thinMachO(BundleFactory::cpuX86_64);
            BundleFactory::create(root, bundle);
        }
        FakeCommandRunner runner;
        runner.otherwise([](const QString&) { return ShellResult{QStringLiteral("300"), {}, 0}; });
        auto model = IntelAppsModel::create(QStringList{root}, RosettaInfo{true, true});
        QCoro::waitFor(model->scan());
        return model;
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        files_.home = dir_.path() + QStringLiteral("/home");
        files_.refused.clear();
        library_ = dir_.path() + QStringLiteral("/Library");
        QVERIFY(QDir().mkpath(files_.home + QStringLiteral("/.Trash")));
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

    void removalMethods()
    {
        QCOMPARE(Removal::allCases(), (QList<RemovalMethod>{RemovalMethod::trash, RemovalMethod::permanent}));
        QCOMPARE(Removal::rawValue(RemovalMethod::trash), QStringLiteral("ゴミ箱に移動（推奨）"));
        QCOMPARE(Removal::rawValue(RemovalMethod::permanent), QStringLiteral("完全に削除"));
        QCOMPARE(Removal::fromRawValue(QStringLiteral("完全に削除")), std::optional<RemovalMethod>(RemovalMethod::permanent));
        QVERIFY(!Removal::fromRawValue(QStringLiteral("x")));
    }

    void initialState()
    {
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{true, false});
        QVERIFY(model->apps().isEmpty());
        QCOMPARE(model->totalScanned(), 0);
        QVERIFY(!model->isScanning() && !model->isRemoving() && !model->hasScanned() && !model->showConfirm());
        QCOMPARE(model->removalMethod(), RemovalMethod::trash);
        QVERIFY(model->includeLeftovers());
        QCOMPARE(model->rosetta(), (RosettaInfo{true, false}));
        QCOMPARE(model->selectionText(), QStringLiteral("削除するアプリを選んでね"));
        QVERIFY(!model->canRemove());
    }

    void confirmationTexts_data()
    {
        QTest::addColumn<RemovalMethod>("method");
        QTest::addColumn<bool>("leftovers");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("button");
        QTest::newRow("permanent with leftovers")
            << RemovalMethod::permanent << true << "2 個のアプリを完全に削除しますか？"
            << "合計 約2.0 GB。設定・キャッシュなどの関連ファイルも一緒に処理します。この操作は元に戻せません。起動中のアプリは終了されます。"
            << "完全に削除";
        QTest::newRow("trash, bundle only")
            << RemovalMethod::trash << false << "2 個のアプリをゴミ箱に移動しますか？"
            << "合計 約2.0 GB。アプリ本体のみ処理します。ゴミ箱から元に戻せます。起動中のアプリは終了されます。" << "ゴミ箱に移動";
    }
    void confirmationTexts()
    {
        QFETCH(RemovalMethod, method);
        QFETCH(bool, leftovers);
        FakeCommandRunner runner;
        runner.otherwise([](const QString& line) {
            return ShellResult{line.contains(QStringLiteral("B.app")) ? QStringLiteral("1748") : QStringLiteral("300"), {}, 0};
        });
        const QString root = dir_.path() + QStringLiteral("/apps");
        for (const char* name : {"A.app", "B.app", "C.app"})
            BundleFactory::createApp(root, QLatin1String(name), BundleFactory::thinMachO(BundleFactory::cpuX86_64));
        auto model = IntelAppsModel::create(QStringList{root}, RosettaInfo{true, true});
        QCoro::waitFor(model->scan());
        QCOMPARE(model->apps().size(), 3);
        QCOMPARE(model->totalSizeMB(), 2348);
        model->setSelected(model->apps().at(0).id, true);
        model->setSelected(model->apps().at(1).id, true);
        model->setRemovalMethod(method);
        model->setIncludeLeftovers(leftovers);
        QCOMPARE(model->selectedSizeMB(), 2048);
        QTEST(model->confirmTitle(), "title");
        QTEST(model->confirmMessage(), "message");
        QTEST(model->confirmButtonText(), "button");
        QCOMPARE(model->selectionText(), QStringLiteral("選択中: 2 個 / 約2.0 GB"));
        QVERIFY(model->canRemove());
    }

    void rescanReplacesEveryEntry()
    {
        auto model = modelWith({entry(QStringLiteral("Old"), {}, 0, false)});
        QCOMPARE(model->apps().size(), 1);
        QVERIFY(model->hasScanned());
        QCOMPARE(model->totalScanned(), 1);
        const QUuid first = model->apps().first().id;
        model->setAllSelected(true);
        QCOMPARE(model->apps().first().sizeMB, 300);
        FakeCommandRunner silent;   // du answers nothing: sizes stay 0 ("計測中")
        QCoro::waitFor(model->scan());
        QCOMPARE(model->apps().size(), 1);
        QVERIFY(model->apps().first().id != first);
        QVERIFY(!model->apps().first().isSelected);
        QCOMPARE(model->apps().first().sizeMB, 0);
    }

    void appearanceScanRunsOnlyOnce()
    {
        FakeCommandRunner runner;
        const QString root = dir_.path() + QStringLiteral("/apps");
        BundleFactory::createApp(root, QStringLiteral("A.app"), BundleFactory::thinMachO(BundleFactory::cpuX86_64));
        auto model = IntelAppsModel::create(QStringList{root}, RosettaInfo{});
        QCoro::waitFor(model->appearanceTask());
        QCOMPARE(model->apps().size(), 1);
        model->setAllSelected(true);
        QCoro::waitFor(model->appearanceTask());
        QVERIFY(model->apps().first().isSelected);   // not scanned again
    }

    void trashCommandLine()
    {
        const QString line = IntelAppsModel::trashCommand(clearedForRoot(QStringList{QStringLiteral("/Library/Application Support/Foo")}),
                                                          QStringLiteral("/Users/u"), 501, 1700000000, {});
        QCOMPARE(line, QStringLiteral("/bin/mv '/Library/Application Support/Foo' '/Users/u/.Trash/1700000000_Foo' && "
                                      "/usr/sbin/chown -R 501 '/Users/u/.Trash/1700000000_Foo'; true"));
    }

    void trashNamesNeverCollide()
    {
        const QSet<QString> existing{QStringLiteral("/H/.Trash/7_Foo")};
        const QString line = IntelAppsModel::trashCommand(
            clearedForRoot({QStringLiteral("/A/Foo"), QStringLiteral("/B/Foo"), QStringLiteral("/C/Bar")}), QStringLiteral("/H"), 0, 7,
            [&existing](const QString& path) { return existing.contains(path); });
        QCOMPARE(line, QStringLiteral("/bin/mv '/A/Foo' '/H/.Trash/7_2_Foo' && /usr/sbin/chown -R 0 '/H/.Trash/7_2_Foo'; "
                                      "/bin/mv '/B/Foo' '/H/.Trash/7_3_Foo' && /usr/sbin/chown -R 0 '/H/.Trash/7_3_Foo'; "
                                      "/bin/mv '/C/Bar' '/H/.Trash/7_Bar' && /usr/sbin/chown -R 0 '/H/.Trash/7_Bar'; true"));
    }

    void quotesInAdministratorLines()
    {
        QCOMPARE(IntelAppsModel::permanentCommand(clearedForRoot({QStringLiteral("/Applications/Bob's App.app"), QStringLiteral("/x")})),
                 QStringLiteral("/bin/rm -rf '/Applications/Bob'\\''s App.app'; /bin/rm -rf '/x'; true"));
        QCOMPARE(IntelAppsModel::trashCommand(clearedForRoot(QStringList{QStringLiteral("/L/it's")}), QStringLiteral("/H/o'k"), 5, 9, {}),
                 QStringLiteral("/bin/mv '/L/it'\\''s' '/H/o'\\''k/.Trash/9_it'\\''s' && /usr/sbin/chown -R 5 "
                                "'/H/o'\\''k/.Trash/9_it'\\''s'; true"));
    }

    void terminateAsksThenForces()
    {
        FakeWorkspace workspace;
        platform::Service<platform::Workspace>::Override useWorkspace(workspace);
        const IntelOnlyApp app = entry(QStringLiteral("Old"), dir_.path() + QStringLiteral("/Old.app"), 1, true);
        workspace.running = {{11, app.path, "Old"}, {12, app.path, "Old"}, {13, app.path + QStringLiteral("x"), "Other"},
                             {14, QString(), "No bundle"}};
        workspace.quitsWhenAsked = {11};
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        model->terminationPollInterval = std::chrono::milliseconds(1);
        QCoro::waitFor(model->terminateIfRunning(app));
        QCOMPARE(workspace.terminated, (QList<qint64>{11, 12}));
        QCOMPARE(workspace.forced, QList<qint64>{12});
        QCOMPARE(model->log(), QStringList{QStringLiteral("⏹ 起動中のため終了します: Old")});
    }

    void terminateWithNothingRunning()
    {
        FakeWorkspace workspace;
        platform::Service<platform::Workspace>::Override useWorkspace(workspace);
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        QCoro::waitFor(model->terminateIfRunning(entry(QStringLiteral("A"), QStringLiteral("/x/A.app"), 1, true)));
        QVERIFY(model->log().isEmpty());
        workspace.running = {{5, QStringLiteral("/x/A.app"), "A"}};
        workspace.quitsWhenAsked = {5};
        QCoro::waitFor(model->terminateIfRunning(entry(QStringLiteral("A"), QStringLiteral("/x/A.app"), 1, true)));
        QVERIFY(workspace.forced.isEmpty());
    }

    void removeSelectedTrashWithAdministratorBatch()
    {
        // Bundle and leftovers in the home folder go with the user's rights; the /Library one
        // the user may not move goes into the administrator batch.
        FakeWorkspace workspace;
        platform::Service<platform::Workspace>::Override useWorkspace(workspace);
        const QString homeApps = files_.home + QStringLiteral("/Applications");
        const QString bundle =
            BundleFactory::createApp(homeApps, QStringLiteral("Foo.app"), BundleFactory::thinMachO(BundleFactory::cpuX86_64),
                                     QStringLiteral("Foo"), QStringLiteral("com.example.foo"));
        const QString caches = files_.home + QStringLiteral("/Library/Caches/com.example.foo");
        const QString systemSupport = library_ + QStringLiteral("/Application Support/Foo");
        QVERIFY(QDir().mkpath(caches));
        QVERIFY(QDir().mkpath(systemSupport));
        files_.refused = library_;
        workspace.running = {{42, bundle, "Foo"}};
        workspace.quitsWhenAsked = {42};

        FakeCommandRunner runner;
        auto model = IntelAppsModel::create(QStringList{homeApps}, RosettaInfo{true, true});
        QCoro::waitFor(model->scan());
        QCOMPARE(model->apps().size(), 1);
        model->setAllSelected(true);

        FakeAuthorization auth;
        QString trashed;
        auth.otherwise([&](const QString& line) {
            // Carry out the move the line describes.
            const QRegularExpression move(QStringLiteral("^/bin/mv '(.*)' '(.*)' && /usr/sbin/chown -R \\d+ '(.*)'; true$"));
            const auto match = move.match(line);
            if (match.hasMatch() && QFile::rename(match.captured(1), match.captured(2)))
                trashed = match.captured(2);
            return PrivilegedAnswer::ok();
        });
        QCoro::waitFor(model->removeSelected());
        QCoreApplication::processEvents();

        QCOMPARE(auth.commands().size(), 1);
        QVERIFY(auth.commands().first().startsWith(QStringLiteral("/bin/mv '") + systemSupport + QStringLiteral("' '")
                                                   + files_.home + QStringLiteral("/.Trash/")));
        QVERIFY(trashed.endsWith(QStringLiteral("_Foo")));
        QVERIFY(QFileInfo(trashed).isDir());
        QCOMPARE(model->log(),
                 (QStringList{QStringLiteral("🧹 1 個の Intel専用アプリをゴミ箱に移動します…"),
                              QStringLiteral("⏹ 起動中のため終了します: Foo"), QStringLiteral("  ✅ ") + bundle,
                              QStringLiteral("  ✅ ") + caches,
                              QStringLiteral("🔑 管理者権限が必要な項目があります（1件）…"),
                              QStringLiteral("  ✅ ") + systemSupport, QStringLiteral("🎉 完了！")}));
        QVERIFY(model->apps().isEmpty());
        QVERIFY(!model->isRemoving());
        QCOMPARE(AppState::shared().globalMessage(),
                 std::optional<QString>(QStringLiteral("Intel専用アプリの整理が完了しました")));
    }

    void cancelledPasswordKeepsTheEntries()
    {
        const QString root = library_ + QStringLiteral("/../SystemApps");
        const QString bundle = BundleFactory::createApp(root, QStringLiteral("Sys.app"),
                                                        BundleFactory::thinMachO(BundleFactory::cpuI386));
        files_.refused = QDir::cleanPath(root);
        FakeCommandRunner runner;
        FakeWorkspace workspace;
        platform::Service<platform::Workspace>::Override useWorkspace(workspace);
        auto model = IntelAppsModel::create(QStringList{QDir::cleanPath(root)}, RosettaInfo{true, true});
        QCoro::waitFor(model->scan());
        model->setAllSelected(true);
        model->setRemovalMethod(RemovalMethod::permanent);
        FakeAuthorization auth;
        auth.failAll(AuthError::userCancelled());
        QCoro::waitFor(model->removeSelected());
        QCOMPARE(auth.commands(), QStringList{IntelAppsModel::permanentCommand(clearedForRoot(QStringList{QDir::cleanPath(bundle)}))});
        // The bundle stays, and so do its settings and data.
        QCOMPARE(model->log().mid(model->log().size() - 3),
                 (QStringList{QStringLiteral("🚫 キャンセルされました"),
                              IntelAppsModel::keptLeftoversLine(QDir::cleanPath(bundle)), QStringLiteral("🎉 完了！")}));
        QCOMPARE(model->apps().size(), 1);
        QVERIFY(model->apps().first().isSelected);
        QVERIFY(QFileInfo::exists(bundle));
    }

    void failedAdministratorRun()
    {
        FakeAuthorization auth;
        auth.failAll(AuthError::commandFailed(QStringLiteral(" boom \n")));
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        QCoro::waitFor(model->removeWithAdmin({QStringLiteral("/nope")}, RemovalMethod::permanent, Allowance({QStringLiteral("/nope")})));
        QCOMPARE(model->log(), (QStringList{QStringLiteral("🔑 管理者権限が必要な項目があります（1件）…"),
                                            QStringLiteral("❌ エラー: コマンド失敗: boom")}));
    }

    void administratorRunThatLeavesAPath()
    {
        const QString stays = library_ + QStringLiteral("/Preferences/x.plist");
        QVERIFY(BundleFactory::writeFile(stays, "x"));
        FakeAuthorization auth;
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        const QStringList paths{stays, library_ + QStringLiteral("/gone")};
        QCoro::waitFor(model->removeWithAdmin(paths, RemovalMethod::permanent, Allowance(paths)));
        QCOMPARE(model->log().mid(1), (QStringList{QStringLiteral("  ⚠️ 処理できませんでした: ") + stays,
                                                   QStringLiteral("  ✅ ") + library_ + QStringLiteral("/gone")}));
    }

    void homeFailureIsSkippedNotEscalated()
    {
        const QString support = files_.home + QStringLiteral("/Library/Application Support/Foo");
        QVERIFY(QDir().mkpath(support));
        files_.refused = support;
        const IntelOnlyApp app = entry(QStringLiteral("Foo"), dir_.path() + QStringLiteral("/missing/Foo.app"), 1, true, QString());
        // The bundle itself always escalates, and its leftovers wait until it is gone.
        for (const LeftoverScope scope : {LeftoverScope::bundleAndLeftovers, LeftoverScope::bundleOnly}) {
            const IntelAppsModel::UserRemoval removed = IntelAppsModel::removeApp(app, RemovalMethod::permanent, scope);
            QCOMPARE(removed.needsAdministrator, QStringList{app.path});
            QCOMPARE(removed.leftoversPending, scope == LeftoverScope::bundleAndLeftovers);
            QVERIFY(removed.log.isEmpty());
        }
        // A home leftover the user may not remove is skipped, not escalated.
        const IntelAppsModel::UserRemoval leftovers = IntelAppsModel::removeLeftovers(app, RemovalMethod::permanent);
        QVERIFY(leftovers.needsAdministrator.isEmpty());
        QCOMPARE(leftovers.log, QStringList{QStringLiteral("  ⚠️ スキップ: ") + support});
    }

    void nothingTickedDoesNothing()
    {
        FakeAuthorization auth;
        auto model = modelWith({entry(QStringLiteral("A"), {}, 0, false)});
        QCoro::waitFor(model->removeSelected());
        QVERIFY(model->log().isEmpty());
        QVERIFY(auth.commands().isEmpty());
        QCOMPARE(model->apps().size(), 1);
    }

    void sizesForRemovedEntriesAreDropped()
    {
        QList<IntelOnlyApp> apps{entry(QStringLiteral("A"), QStringLiteral("/A.app"), 0, false)};
        QVERIFY(applyMeasuredSize(apps, apps.first().id, 5));
        QVERIFY(!applyMeasuredSize(apps, QUuid::createUuid(), 5));
    }
};

QTEST_GUILESS_MAIN(IntelAppsTest)
#include "tst_intelapps.moc"
