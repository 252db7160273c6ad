#include "app/AppState.h"
#include "diagnostics/DashboardModel.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QSemaphore>
#include <QtTest>

namespace {

struct Fixture : TempTree {
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    QStringList scanLines() const { return {DashboardModel::dfCommand, DashboardModel::junkCommand(home, temporary)}; }
};

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

private slots:
    void scanReadsFreeSpaceAndJunk_data()
    {
        QTest::addColumn<QString>("df");
        QTest::addColumn<QString>("du");
        QTest::addColumn<QString>("diskFree");
        QTest::addColumn<QString>("junk");
        QTest::newRow("plain") << "245Gi" << "1234" << "245GiB 空き" << "1234 MB";
        QTest::newRow("padded, plus sign") << " 12Ti\n" << "+7" << "12TiB 空き" << "7 MB";
        QTest::newRow("empty") << "" << "" << "N/A" << "0 MB";
        QTest::newRow("blank, a word") << " \n" << "abc" << "N/A" << "0 MB";
    }
    void scanReadsFreeSpaceAndJunk()
    {
        QFETCH(QString, df);
        QFETCH(QString, du);
        QFETCH(QString, diskFree);
        QFETCH(QString, junk);
        Fixture f;
        f.shell.on(f.scanLines()[0], {df, {}, 0});
        f.shell.on(f.scanLines()[1], {du, {}, 0});
        auto model = std::make_shared<DashboardModel>();
        QStringList states;   // measuring until the answers arrive, optimising held back
        QObject::connect(model.get(), &DashboardModel::changed, [&] { states << model->junkText() + (model->canOptimize() ? "" : " (held)"); });
        settle(model->refreshStats());
        QVERIFY2(states.first() == QStringLiteral("計測中… (held)") && states.last() == junk, qPrintable(states.join(", ")));
        QCOMPARE(f.shell.commands(), f.scanLines());
        QCOMPARE(model->diskFreeGB(), diskFree);
    }

    void hostileHomeIsQuoted()
    {
        QCOMPARE(DashboardModel::junkCommand("/Users/a\"b$c", "/var/folders/x/T/"),
                 "du -sk \"/var/folders/x/T/\" \"/Users/a\\\"b\\$c/Library/Caches\" \"/private/tmp\" 2>/dev/null"
                 " | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");
        // A home of "/" or "" names the system's caches: the optimisation leaves them alone,
        // so the estimate does not count them either.
        for (const QString home : {"/", ""}) {
            Fixture f;
            ScriptedFileManager files(home, f.temporary);
            settle(std::make_shared<DashboardModel>()->refreshStats());
            QCOMPARE(f.shell.commands().value(1), "du -sk \"" + f.temporary + "\" \"/private/tmp\" 2>/dev/null | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");
        }
    }

    void appearanceStopsWhenLeft()
    {
        Fixture f;
        QSemaphore dfGate;
        f.shell.otherwise([&](const QString&) { return dfGate.acquire(), ShellResult{"1Gi", {}, 0}; });
        auto model = std::make_shared<DashboardModel>();
        AppearanceScope scope;
        DashboardModel::appear(model, scope.ticket());
        scope.end();   // left while df runs
        dfGate.release();
        QTest::qWait(200);
        QCOMPARE(f.shell.commands() << model->diskFreeGB(), (QStringList{DashboardModel::dfCommand, "--"}));
    }

    void optimizePurgesThroughHelperOrPassword_data()
    {
        QTest::addColumn<CleanerHelperStatus>("status");
        QTest::addColumn<bool>("fails");
        QTest::newRow("helper installed: Touch ID") << CleanerHelperStatus::installed << false;
        QTest::newRow("helper purge fails") << CleanerHelperStatus::installed << true;
        QTest::newRow("helper missing: password") << CleanerHelperStatus::missing << false;
        QTest::newRow("helper outdated: password") << CleanerHelperStatus::outdated << false;
        QTest::newRow("password prompt cancelled") << CleanerHelperStatus::missing << true;
    }
    // Empties the two folders (links out of them removed, not followed; what cannot go stays),
    // purges, rescans and ends well whatever the purge did.
    void optimizePurgesThroughHelperOrPassword()
    {
        QFETCH(CleanerHelperStatus, status);
        QFETCH(bool, fails);
        const bool throughHelper = status == CleanerHelperStatus::installed;
        Fixture f;
        const QString caches = f.home + "/Library/Caches", outside = f.root + "/outside";
        QVERIFY(f.make({caches + "/com.x/Cache.db", caches + "/.hidden", caches + "/stuck",
                        f.temporary + "t1", f.home + "/Documents/keep", outside + "/keep"}));
        QVERIFY(QFile::link(outside, caches + "/escape") && QFile::link(f.home + "/Documents", f.temporary + "docs"));
        f.files.undeletable = {caches + "/stuck"};
        f.helper.setScriptedStatus(status);
        if (fails)
            throughHelper ? f.helper.setRunError(CleanerError::cancelled()) : f.auth.failAll(AuthError::userCancelled());
        auto model = std::make_shared<DashboardModel>();
        const int before = model->healthScore();
        settle(model->quickOptimize());
        QCOMPARE(f.helper.actions(), throughHelper ? QList<CleanerAction>{CleanerAction::purge()} : QList<CleanerAction>{});
        QCOMPARE(f.auth.commands(), throughHelper ? QStringList{} : QStringList{"purge 2>/dev/null || true"});
        QCOMPARE(f.shell.commands(), f.scanLines());
        QVERIFY(before == 94 && model->healthScore() == 99 && !model->isOptimizing());
        QCoreApplication::processEvents();   // the message is queued
        QCOMPARE(AppState::shared().globalMessage().value_or(""), QStringLiteral("Mac の最適化が完了しました！快調です✨"));
        QVERIFY(!AppState::shared().globalMessageIsError());
        QCOMPARE(f.entries(), (QStringList{"Applications", "Library", "home", "home/.Trash", "home/Documents", "home/Documents/keep", "home/Library",
                                           "home/Library/Caches", "home/Library/Caches/stuck", "outside", "outside/keep", "tmp"}));
    }
};

QTEST_GUILESS_MAIN(DashboardTest)
#include "tst_dashboard.moc"
