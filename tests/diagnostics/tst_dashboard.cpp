#include "app/AppState.h"
#include "diagnostics/DashboardModel.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/ScriptedFileManager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString dfLine = QStringLiteral("df -h / | tail -1 | awk '{print $4}'");
const QString awkTail = QStringLiteral(" 2>/dev/null | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");

QStringList tree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

// A home and temporary folder of the case's own; faked shell, root runs and helper; and every
// banner message from creation on ("!" before an error).
struct Fixture {
    QTemporaryDir tmp;
    QString home = tmp.path() + "/home";
    QString temporary = tmp.path() + "/folders/T/";
    ScriptedFileManager files{home, temporary};
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    QStringList messages;
    QMetaObject::Connection recorder;
    QSemaphore dfGate;

    Fixture()
    {
        QDir().mkpath(home + "/Library/Caches");
        QDir().mkpath(temporary);
        QCoreApplication::processEvents();   // what earlier cases queued
        recorder = QObject::connect(&AppState::shared(), &AppState::globalMessageChanged, [this] {
            if (const auto message = AppState::shared().globalMessage())
                messages << (AppState::shared().globalMessageIsError() ? "!" : "") + *message;
        });
    }
    ~Fixture() { QObject::disconnect(recorder); }
    QStringList takeMessages()
    {
        QCoreApplication::processEvents();   // the last message is still queued
        return std::exchange(messages, {});
    }
    QString junkLine() const { return "du -sk \"" + temporary + "\" \"" + home + "/Library/Caches\" \"/private/tmp\"" + awkTail; }
    // df answers only once the case releases dfGate.
    void holdDf()
    {
        shell.otherwise([this](const QString&) {
            dfGate.acquire();
            return ShellResult{"1Gi", {}, 0};
        });
    }
};

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

private slots:
    void healthLabel()
    {
        QCOMPARE(DashboardModel::healthLabel(89), QStringLiteral("メンテナンス推奨 💡"));
        QCOMPARE(DashboardModel::healthLabel(90), QStringLiteral("快調そのもの！✨"));
    }

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
        QTest::newRow("fraction") << "1Gi" << "12.5" << "1GiB 空き" << "0 MB";
        QTest::newRow("minus sign") << "1Gi" << "-2" << "1GiB 空き" << "-2 MB";
        QTest::newRow("sign only") << "1Gi" << "+" << "1GiB 空き" << "0 MB";
    }
    void scanReadsFreeSpaceAndJunk()
    {
        QFETCH(QString, df);
        QFETCH(QString, du);
        QFETCH(QString, diskFree);
        QFETCH(QString, junk);
        Fixture f;
        f.shell.on(dfLine, {df, {}, 0});
        f.shell.on(f.junkLine(), {du, {}, 0});
        auto model = std::make_shared<DashboardModel>();
        settle(model->refreshStats());
        QCOMPARE(f.shell.commands(), (QStringList{dfLine, f.junkLine()}));
        QCOMPARE(model->diskFreeGB(), diskFree);
        QCOMPARE(model->junkText(), junk);
        QVERIFY(f.takeMessages().isEmpty());
    }

    void hostileHomeIsQuoted()
    {
        QCOMPARE(DashboardModel::junkCommand("/Users/a\"b$c", "/var/folders/x/T/"),
                 "du -sk \"/var/folders/x/T/\" \"/Users/a\\\"b\\$c/Library/Caches\" \"/private/tmp\"" + awkTail);
    }

    void scanningShowsMeasuringAndDisablesOptimizing()
    {
        Fixture f;
        f.holdDf();
        f.shell.on(f.junkLine(), {"55", {}, 0});
        auto model = std::make_shared<DashboardModel>();
        QVERIFY(model->canOptimize());
        auto task = model->refreshStats();
        QCOMPARE(model->junkText(), QStringLiteral("計測中…"));
        QVERIFY(model->isQuickScanning() && !model->canOptimize());
        f.dfGate.release();
        QTRY_VERIFY(!model->isQuickScanning());
        QCOMPARE(model->junkText(), QStringLiteral("55 MB"));
        QVERIFY(model->canOptimize());
    }

    void appearanceStopsWhenLeft()
    {
        Fixture f;
        f.holdDf();
        auto model = std::make_shared<DashboardModel>();
        AppearanceScope scope;
        DashboardModel::appear(model, scope.ticket());
        scope.end();   // left while df runs
        f.dfGate.release();
        QTest::qWait(200);
        QCOMPARE(f.shell.commands(), QStringList{dfLine});
        QCOMPARE(model->diskFreeGB(), QStringLiteral("--"));
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
    void optimizePurgesThroughHelperOrPassword()
    {
        QFETCH(CleanerHelperStatus, status);
        QFETCH(bool, fails);
        const bool throughHelper = status == CleanerHelperStatus::installed;
        Fixture f;
        f.helper.setScriptedStatus(status);
        if (fails && throughHelper)
            f.helper.setRunError(CleanerError::cancelled());
        if (fails && !throughHelper)
            f.auth.failAll(AuthError::userCancelled());
        auto model = std::make_shared<DashboardModel>();
        QCOMPARE(model->healthScore(), 94);
        settle(model->quickOptimize());
        QCOMPARE(f.helper.actions(), throughHelper ? QList<CleanerAction>{CleanerAction::purge()} : QList<CleanerAction>{});
        QCOMPARE(f.helper.reasons(), throughHelper ? QStringList{"メモリを解放して Mac を最適化します"} : QStringList{});
        QCOMPARE(f.auth.commands(), throughHelper ? QStringList{} : QStringList{"purge 2>/dev/null || true"});
        // Whatever the purge did, the run rescans and ends well.
        QCOMPARE(f.shell.commands(), (QStringList{dfLine, f.junkLine()}));
        QCOMPARE(model->healthScore(), 99);
        QVERIFY(!model->isOptimizing());
        QCOMPARE(f.takeMessages(), (QStringList{"ワンクリック最適化を実行中…", "Mac の最適化が完了しました！快調です✨"}));
    }

    void optimizeEmptiesOnlyTheTwoFolders()
    {
        Fixture f;
        const QString caches = f.home + "/Library/Caches", outside = f.tmp.path() + "/outside";
        for (const QString& file : {caches + "/com.x/Cache.db", caches + "/.hidden", caches + "/stuck",
                                    f.temporary + "t1", f.home + "/Documents/keep", outside + "/keep"}) {
            QDir().mkpath(QFileInfo(file).absolutePath());
            QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(outside, caches + "/escape"));
        QVERIFY(QFile::link(f.home + "/Documents", f.temporary + "docs"));
        f.files.undeletable = {caches + "/stuck"};
        auto model = std::make_shared<DashboardModel>();
        settle(model->quickOptimize());
        QCOMPARE(tree(caches), QStringList{"stuck"});
        QCOMPARE(tree(f.temporary), QStringList());
        QCOMPARE(tree(outside), QStringList{"keep"});
        QCOMPARE(tree(f.home + "/Documents"), QStringList{"keep"});
    }

    void shortcutsSwitchSections()
    {
        const QList<std::tuple<QString, QString, SidebarSection>> expected{
            {"キャッシュ削除", "一時ファイルやアプリキャッシュを一括クリーン", SidebarSection::cache},
            {"アンインストーラー", "残存ファイルも含めてアプリを完全アンインストール", SidebarSection::uninstaller},
            {"Intelアプリ検出", "Rosetta終了に向けてIntel製アプリをスキャン", SidebarSection::intelApps},
            {"macOSインストーラー", "macOS 27 Golden Gate などのOSイメージ作成", SidebarSection::installer},
            {"システム診断", "CPU・メモリ・バッテリー・稼働時間のレポート", SidebarSection::sysinfo}};
        const QList<FeatureShortcutCard> cards = DashboardModel::shortcuts();
        QCOMPARE(cards.size(), expected.size());
        for (qsizetype i = 0; i < cards.size(); ++i) {
            const auto& [title, subtitle, target] = expected[i];
            QCOMPARE(cards[i].title, title);
            QCOMPARE(cards[i].subtitle, subtitle);
            AppState::shared().setSelectedSection(SidebarSection::dashboard);
            cards[i].action();
            QCOMPARE(AppState::shared().selectedSection(), target);
        }
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
    }
};

QTEST_GUILESS_MAIN(DashboardTest)
#include "tst_dashboard.moc"
