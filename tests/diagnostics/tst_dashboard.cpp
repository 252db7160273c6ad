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

const QString awkTail = QStringLiteral(" 2>/dev/null | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");

void writeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QStringList tree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

class MessageRecorder {
public:
    MessageRecorder()
    {
        QCoreApplication::processEvents();   // what earlier tests queued
        connection_ = QObject::connect(&AppState::shared(), &AppState::globalMessageChanged, [this] {
            if (const auto message = AppState::shared().globalMessage())
                messages << (AppState::shared().globalMessageIsError() ? "!" : "") + *message;
        });
    }
    ~MessageRecorder() { QObject::disconnect(connection_); }
    QStringList take()
    {
        QCoreApplication::processEvents();
        return std::exchange(messages, {});
    }
    QStringList messages;

private:
    QMetaObject::Connection connection_;
};

struct Fixture {
    QTemporaryDir tmp;
    QString home = tmp.path() + "/home";
    QString temporary = tmp.path() + "/folders/T/";
    ScriptedFileManager files{home, temporary};
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    MessageRecorder messages;

    Fixture()
    {
        QDir().mkpath(home + "/Library/Caches");
        QDir().mkpath(temporary);
    }
    QString junkLine() const
    {
        return "du -sk \"" + temporary + "\" \"" + home + "/Library/Caches\" \"/private/tmp\"" + awkTail;
    }
};

} // namespace

class DashboardTest : public QObject {
    Q_OBJECT

private slots:
    void healthLabel_data()
    {
        QTest::addColumn<int>("score");
        QTest::addColumn<QString>("label");
        QTest::newRow("0") << 0 << "メンテナンス推奨 💡";
        QTest::newRow("89") << 89 << "メンテナンス推奨 💡";
        QTest::newRow("90") << 90 << "快調そのもの！✨";
        QTest::newRow("94") << 94 << "快調そのもの！✨";
        QTest::newRow("99") << 99 << "快調そのもの！✨";
    }
    void healthLabel()
    {
        QFETCH(int, score);
        QFETCH(QString, label);
        QCOMPARE(DashboardModel::healthLabel(score), label);
    }

    void initialValues()
    {
        DashboardModel model;
        QCOMPARE(model.healthScore(), 94);
        QCOMPARE(model.diskFreeGB(), QStringLiteral("--"));
        QCOMPARE(model.junkMBEstimate(), 0);
        QVERIFY(!model.isQuickScanning());
        QVERIFY(!model.isOptimizing());
        QVERIFY(model.canOptimize());
    }

    void diskFree_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("text");
        QTest::newRow("gibibytes") << "245Gi" << "245GiB 空き";
        QTest::newRow("padded") << " 12Ti\n" << "12TiB 空き";
        QTest::newRow("empty") << "" << "N/A";
        QTest::newRow("blank") << " \n" << "N/A";
    }
    void diskFree()
    {
        QFETCH(QString, output);
        QFETCH(QString, text);
        Fixture f;
        f.shell.on(DashboardModel::dfCommand, {output, {}, 0});
        auto model = std::make_shared<DashboardModel>();
        settle(model->refreshStats());
        QCOMPARE(model->diskFreeGB(), text);
    }

    void junk_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("text");
        QTest::newRow("number") << "1234" << "1234 MB";
        QTest::newRow("word") << "abc" << "0 MB";
        QTest::newRow("fraction") << "12.5" << "0 MB";
        QTest::newRow("empty") << "" << "0 MB";
        QTest::newRow("plus") << "+7" << "7 MB";
        QTest::newRow("minus") << "-2" << "-2 MB";
        QTest::newRow("sign only") << "+" << "0 MB";
    }
    void junk()
    {
        QFETCH(QString, output);
        QFETCH(QString, text);
        Fixture f;
        f.shell.on(f.junkLine(), {output, {}, 0});
        auto model = std::make_shared<DashboardModel>();
        settle(model->refreshStats());
        QCOMPARE(f.shell.commands(), (QStringList{"df -h / | tail -1 | awk '{print $4}'", f.junkLine()}));
        QCOMPARE(model->junkText(), text);
    }

    void hostileHomeIsQuoted()
    {
        QCOMPARE(DashboardModel::junkCommand("/Users/a\"b$c", "/var/folders/x/T/"),
                 "du -sk \"/var/folders/x/T/\" \"/Users/a\\\"b\\$c/Library/Caches\" \"/private/tmp\"" + awkTail);
    }

    void scanningShowsMeasuringAndDisablesOptimizing()
    {
        Fixture f;
        QSemaphore dfGate;   // holds the first command until the test has looked
        f.shell.otherwise([&dfGate](const QString&) {
            dfGate.acquire();
            return ShellResult{"1Gi", {}, 0};
        });
        f.shell.on(f.junkLine(), {"55", {}, 0});
        auto model = std::make_shared<DashboardModel>();
        auto task = model->refreshStats();
        QVERIFY(model->isQuickScanning());
        QCOMPARE(model->junkText(), QStringLiteral("計測中…"));
        QVERIFY(!model->canOptimize());
        dfGate.release();
        QTRY_VERIFY(!model->isQuickScanning());
        QCOMPARE(model->junkText(), QStringLiteral("55 MB"));
        QVERIFY(model->canOptimize());
    }

    void appearanceStopsWhenLeft()
    {
        Fixture f;
        QSemaphore dfGate;
        f.shell.otherwise([&dfGate](const QString&) {
            dfGate.acquire();
            return ShellResult{"1Gi", {}, 0};
        });
        auto model = std::make_shared<DashboardModel>();
        AppearanceScope scope;
        DashboardModel::appear(model, scope.ticket());
        scope.end();   // left while df runs
        dfGate.release();
        QTest::qWait(200);
        QCOMPARE(f.shell.commands(), QStringList{DashboardModel::dfCommand});
        QCOMPARE(model->diskFreeGB(), QStringLiteral("--"));
    }

    void optimizeWithHelperAsksTouchId()
    {
        Fixture f;
        f.helper.setScriptedStatus(CleanerHelperStatus::installed);
        auto model = std::make_shared<DashboardModel>();
        settle(model->quickOptimize());
        QCOMPARE(f.helper.actions(), QList<CleanerAction>{CleanerAction::purge()});
        QCOMPARE(f.helper.reasons(), QStringList{"メモリを解放して Mac を最適化します"});
        QVERIFY(f.auth.commands().isEmpty());
        QCOMPARE(model->healthScore(), 99);
        QVERIFY(!model->isOptimizing());
        QCOMPARE(f.messages.take(), (QStringList{"ワンクリック最適化を実行中…", "Mac の最適化が完了しました！快調です✨"}));
        QCOMPARE(f.shell.commands(), (QStringList{DashboardModel::dfCommand, f.junkLine()}));
    }

    void optimizeWithoutHelperUsesAdministratorPrompt_data()
    {
        QTest::addColumn<CleanerHelperStatus>("status");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("missing") << CleanerHelperStatus::missing << false;
        QTest::newRow("outdated") << CleanerHelperStatus::outdated << false;
        QTest::newRow("prompt cancelled") << CleanerHelperStatus::missing << true;
    }
    void optimizeWithoutHelperUsesAdministratorPrompt()
    {
        QFETCH(CleanerHelperStatus, status);
        QFETCH(bool, cancel);
        Fixture f;
        f.helper.setScriptedStatus(status);
        if (cancel)
            f.auth.failAll(AuthError::userCancelled());
        auto model = std::make_shared<DashboardModel>();
        settle(model->quickOptimize());
        QCOMPARE(f.auth.commands(), QStringList{"purge 2>/dev/null || true"});
        QVERIFY(f.helper.actions().isEmpty());
        QCOMPARE(model->healthScore(), 99);
        QCOMPARE(f.messages.take().last(), QStringLiteral("Mac の最適化が完了しました！快調です✨"));
    }

    void failingHelperPurgeIsSwallowed()
    {
        Fixture f;
        f.helper.setScriptedStatus(CleanerHelperStatus::installed);
        f.helper.setRunError(CleanerError::cancelled());
        auto model = std::make_shared<DashboardModel>();
        settle(model->quickOptimize());
        QCOMPARE(model->healthScore(), 99);
        QCOMPARE(f.messages.take().last(), QStringLiteral("Mac の最適化が完了しました！快調です✨"));
    }

    void optimizeEmptiesOnlyTheTwoFolders()
    {
        Fixture f;
        const QString caches = f.home + "/Library/Caches";
        writeFile(caches + "/com.x/Cache.db");
        writeFile(caches + "/.hidden");
        writeFile(caches + "/stuck");
        writeFile(f.temporary + "t1");
        writeFile(f.home + "/Documents/keep");
        writeFile(f.tmp.path() + "/outside/keep");
        QVERIFY(QFile::link(f.tmp.path() + "/outside", caches + "/escape"));
        QVERIFY(QFile::link(f.home + "/Documents", f.temporary + "docs"));
        f.files.undeletable = {caches + "/stuck"};
        auto model = std::make_shared<DashboardModel>();
        settle(model->quickOptimize());
        QCOMPARE(tree(caches), QStringList{"stuck"});
        QCOMPARE(tree(f.temporary), QStringList());
        QCOMPARE(tree(f.tmp.path() + "/outside"), QStringList{"keep"});
        QCOMPARE(tree(f.home + "/Documents"), QStringList{"keep"});
        QCOMPARE(model->healthScore(), 99);
    }

    void shortcuts()
    {
        const QList<FeatureShortcutCard> cards = DashboardModel::shortcuts();
        QCOMPARE(cards.size(), 5);
        const QStringList titles{"キャッシュ削除", "アンインストーラー", "Intelアプリ検出", "macOSインストーラー", "システム診断"};
        const QStringList subtitles{"一時ファイルやアプリキャッシュを一括クリーン", "残存ファイルも含めてアプリを完全アンインストール",
                                    "Rosetta終了に向けてIntel製アプリをスキャン", "macOS 27 Golden Gate などのOSイメージ作成",
                                    "CPU・メモリ・バッテリー・稼働時間のレポート"};
        const QStringList icons{"internaldrive.fill", "trash.circle.fill", "cpu", "arrow.down.circle.fill", "info.circle.fill"};
        const QList<SidebarSection> targets{SidebarSection::cache, SidebarSection::uninstaller, SidebarSection::intelApps,
                                            SidebarSection::installer, SidebarSection::sysinfo};
        for (int i = 0; i < cards.size(); ++i) {
            QCOMPARE(cards[i].title, titles[i]);
            QCOMPARE(cards[i].subtitle, subtitles[i]);
            QCOMPARE(cards[i].icon, icons[i]);
            AppState::shared().setSelectedSection(SidebarSection::dashboard);
            cards[i].action();
            QCOMPARE(AppState::shared().selectedSection(), targets[i]);
        }
        AppState::shared().setSelectedSection(SidebarSection::dashboard);
    }
};

QTEST_GUILESS_MAIN(DashboardTest)
#include "tst_dashboard.moc"
