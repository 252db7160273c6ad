#include "app/AppState.h"
#include "cleanup/CacheModel.h"
#include "exec/OutputParsing.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/RootPaths.h"
#include "support/ScriptedFileManager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
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

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Messages posted to the banner while it lives: "text" or "!text" for errors.
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

CacheCategory group(const QString& name, const QStringList& paths, bool selected = true)
{
    CacheCategory c;
    c.name = name;
    c.icon = QStringLiteral("globe");
    c.color = Qt::blue;
    c.paths = paths;
    c.isSelected = selected;
    return c;
}

// A home with caches, a per-user temporary directory below a "folders" area, and fakes for
// every way out of the process.
struct Fixture {
    QTemporaryDir tmp;
    QString home = tmp.path() + "/home";
    QString temporary = tmp.path() + "/var/folders/ab/T/";
    ScriptedFileManager files{home, temporary};
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    MessageRecorder messages;

    Fixture()
    {
        QDir().mkpath(home + "/Library/Caches");
        QDir().mkpath(temporary);
        files.phantomDirectories = {QStringLiteral("/private/tmp")};
    }
    std::shared_ptr<CacheModel> model(QList<CacheCategory> categories)
    {
        return std::make_shared<CacheModel>(std::move(categories));
    }
};

} // namespace

class CacheModelTest : public QObject {
    Q_OBJECT

private slots:
    void defaultGroups()
    {
        QTemporaryDir tmp;
        ScriptedFileManager files(tmp.path(), "/var/folders/xy/T/");
        const QList<CacheCategory> categories = defaultCategories();
        QCOMPARE(categories.size(), 8);
        QStringList names;
        for (const CacheCategory& c : categories) {
            names << c.name;
            QVERIFY(c.isSelected);
            QCOMPARE(c.estimatedMB, 0);
        }
        QCOMPARE(names, (QStringList{"ユーザーキャッシュ", "一時ファイル (TMP)", "システムキャッシュ", "Xcodeキャッシュ",
                                     "ブラウザキャッシュ", "ログファイル", "Homebrew", "Trash (ゴミ箱)"}));
        QCOMPARE(categories[1].paths, (QStringList{"/var/folders/xy/T/", "/private/tmp", "/private/var/tmp"}));
        QCOMPARE(categories[3].paths, (QStringList{"~/Library/Developer/Xcode/DerivedData", "~/Library/Developer/Xcode/Archives",
                                                   "~/Library/Developer/Xcode/iOS DeviceSupport"}));
        QCOMPARE(categories[6].icon, QStringLiteral("cup.and.saucer.fill"));
        QVERIFY(categories[0].id != categories[1].id);
    }

    void parseSize_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<qint64>("size");
        QTest::newRow("number") << "1234" << qint64(1234);
        QTest::newRow("padded") << " 42\n" << qint64(42);
        QTest::newRow("plus") << "+7" << qint64(7);
        QTest::newRow("minus") << "-3" << qint64(-3);
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("word") << "abc" << qint64(0);
        QTest::newRow("fraction") << "12.5" << qint64(0);
        QTest::newRow("two numbers") << "1 2" << qint64(0);
        QTest::newRow("overflow") << "99999999999999999999999" << qint64(0);
    }
    void parseSize()
    {
        QFETCH(QString, output);
        QFETCH(qint64, size);
        QCOMPARE(Shell::parseInteger(output).value_or(0), size);
    }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("mb");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "計測待ち";
        QTest::newRow("negative") << qint64(-3) << "計測待ち";
        QTest::newRow("one") << qint64(1) << "〜1 MB";
        QTest::newRow("big") << qint64(20480) << "〜20480 MB";
    }
    void sizeText()
    {
        QFETCH(qint64, mb);
        QFETCH(QString, text);
        QCOMPARE(CacheModel::sizeText(mb), text);
    }

    void sizeCommandQuotesEveryPath()
    {
        QCOMPARE(CacheModel::sizeCommand({"/Users/a/Library/Caches", "/private/tmp"}),
                 "du -sk \"/Users/a/Library/Caches\" \"/private/tmp\"" + awkTail);
        QCOMPARE(CacheModel::sizeCommand({"/Users/$HOME \"x\" `id`\\"}),
                 "du -sk \"/Users/\\$HOME \\\"x\\\" \\`id\\`\\\\\"" + awkTail);
    }

    void passwordCommandQuotesEveryPath()
    {
        QCOMPARE(CacheModel::passwordCommand(clearedForRoot({"/Library/Caches", "/private/tmp"})),
                 QStringLiteral("find '/Library/Caches' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; "
                                "find '/private/tmp' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true"));
        QCOMPARE(CacheModel::passwordCommand(clearedForRoot(QStringList{"/Library/it's"})),
                 QStringLiteral("find '/Library/it'\\''s' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true"));
    }

    void userResultLine_data()
    {
        QTest::addColumn<int>("deleted");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("line");
        QTest::newRow("all") << 12 << 0 << "  ✅ /c (中身を完全に削除: 12個)";
        QTest::newRow("partial") << 3 << 1 << "  ✅ /c (一部削除: 3個 / スキップ: 1個)";
        QTest::newRow("nothing removed") << 0 << 2 << "  ⚠️ スキップ: /c (削除失敗: 2個)";
        QTest::newRow("empty") << 0 << 0 << "  ℹ️ キャッシュなし: /c";
        QTest::newRow("no grouping") << 12345 << 0 << "  ✅ /c (中身を完全に削除: 12345個)";
    }
    void userResultLine()
    {
        QFETCH(int, deleted);
        QFETCH(int, skipped);
        QFETCH(QString, line);
        QCOMPARE(CacheModel::userResultLine("/c", deleted, skipped), line);
    }

    void helperResultLine_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("line");
        QTest::newRow("cleaned") << "CLEANED /Library/Caches" << "  ✅ /Library/Caches";
        QTest::newRow("skip") << "SKIP /private/var/tmp" << "  ℹ️ 対象なし: /private/var/tmp";
        QTest::newRow("denied") << "DENIED /etc" << "  ⛔️ 許可外のため拒否: /etc";
        QTest::newRow("other") << "PURGED" << "  PURGED";
        QTest::newRow("prefix without blank") << "CLEANED" << "  CLEANED";
    }
    void helperResultLine()
    {
        QFETCH(QString, input);
        QFETCH(QString, line);
        QCOMPARE(CacheModel::helperResultLine(input), line);
    }

    void helperCard_data()
    {
        QTest::addColumn<CleanerHelperStatus>("status");
        QTest::addColumn<bool>("touchID");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QString>("button");
        QTest::newRow("installed") << CleanerHelperStatus::installed << true << "Touch ID 認証モード：有効 ✨"
                                   << "システム領域の削除も Touch ID だけで完了します（管理者パスワード不要）" << "解除";
        QTest::newRow("installed, no sensor") << CleanerHelperStatus::installed << false << "Touch ID 認証モード：有効 ✨"
                                              << "システム領域の削除も ログインパスワード（Touch ID 非搭載Mac） だけで完了します（管理者パスワード不要）"
                                              << "解除";
        QTest::newRow("outdated") << CleanerHelperStatus::outdated << false << "Touch ID 認証モード：更新が必要です"
                                  << "ヘルパーが古いバージョンです。更新すると Touch ID だけで削除できます" << "更新する";
        QTest::newRow("missing") << CleanerHelperStatus::missing << true << "Touch ID 認証モード：未セットアップ"
                                 << "初回だけ管理者パスワードを入力すると、以降は Touch ID だけで削除できます" << "セットアップ";
        QTest::newRow("missing, no sensor") << CleanerHelperStatus::missing << false << "Touch ID 認証モード：未セットアップ"
                                            << "初回だけ管理者パスワードを入力すると、以降は ログインパスワード（Touch ID 非搭載Mac） だけで削除できます"
                                            << "セットアップ";
    }
    void helperCard()
    {
        QFETCH(CleanerHelperStatus, status);
        QFETCH(bool, touchID);
        QFETCH(QString, title);
        QFETCH(QString, subtitle);
        QFETCH(QString, button);
        QCOMPARE(CacheModel::helperTitle(status), title);
        QCOMPARE(CacheModel::helperSubtitle(status, touchID), subtitle);
        QCOMPARE(CacheModel::helperButton(status), button);
    }

    void scanRunsOneLinePerGroupWithExistingPaths()
    {
        Fixture f;
        QDir().mkpath(f.home + "/Library/Logs");
        auto model = f.model({group("a", {"~/Library/Caches", "~/Missing", "/private/tmp"}),
                              group("b", {"~/Nothing", "/nowhere"}, false),
                              group("c", {"~/Library/Logs"}, false),
                              group("d", {f.temporary})});
        f.shell.on("du -sk \"" + f.home + "/Library/Caches\" \"/private/tmp\"" + awkTail, {"1500", {}, 0});
        f.shell.on("du -sk \"" + f.home + "/Library/Logs\"" + awkTail, {"abc", {}, 0});
        f.shell.on("du -sk \"" + f.temporary + "\"" + awkTail, {"+7", {}, 0});
        QSignalSpy changes(model.get(), &CacheModel::categoriesChanged);
        settle(model->scan());
        QCOMPARE(f.shell.commands().size(), 3);   // nothing for the group without an existing path
        QVERIFY(!model->isScanning());
        QCOMPARE(model->categories()[0].estimatedMB, 1500);
        QCOMPARE(model->categories()[1].estimatedMB, 0);
        QCOMPARE(model->categories()[2].estimatedMB, 0);
        QCOMPARE(model->categories()[3].estimatedMB, 7);
        QCOMPARE(model->selectedTotal(), 1507);   // a and d
        QVERIFY(changes.count() >= 4);            // one per group as it arrives, then the end
    }

    void hostileHomeStaysOneWordInTheSizeLine()
    {
        QTemporaryDir tmp;
        const QString home = tmp.path() + "/we$ird \"home\" `x`";
        QDir().mkpath(home + "/Library/Caches");
        ScriptedFileManager files(home, tmp.path() + "/t/");
        FakeCommandRunner shell;
        auto model = std::make_shared<CacheModel>(QList<CacheCategory>{group("a", {"~/Library/Caches"})});
        settle(model->scan());
        QCOMPARE(shell.commands(),
                 QStringList{"du -sk \"" + tmp.path() + "/we\\$ird \\\"home\\\" \\`x\\`/Library/Caches\"" + awkTail});
    }

    void partition()
    {
        Fixture f;
        QDir().mkpath(f.home + "/Library/Logs");
        QDir().mkpath(f.tmp.path() + "/home2/Library");
        QDir().mkpath(f.tmp.path() + "/real/cache");
        QVERIFY(QFile::link(f.tmp.path() + "/real", f.tmp.path() + "/alias"));
        auto model = f.model({group("user", {"~/Library/Caches", "~/Library/Missing", f.temporary}),
                              group("off", {"~/Library/Logs"}, false),
                              group("system", {"/private/tmp", "/private/var/tmp", f.tmp.path() + "/home2/Library"}),
                              group("again", {"~/Library/Caches", f.tmp.path() + "/alias/cache"})});
        const PathSplit split = model->partitionPaths();
        QCOMPARE(split.user, (QStringList{f.home + "/Library/Caches", f.temporary, f.home + "/Library/Caches"}));
        // A sibling of the home whose name merely starts like it is not the user's, and root
        // empties nothing but the cleanup helper's folders.
        QCOMPARE(split.systemPaths(), QStringList{"/private/tmp"});
        const QString outside = QStringLiteral("許可された場所の外です");
        QCOMPARE(split.refused, (QList<RefusedPath>{{f.tmp.path() + "/home2/Library", outside},
                                                    {f.tmp.path() + "/alias/cache", outside}}));
    }

    void userPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("user");
        QTest::newRow("home itself") << "/Users/a" << true;
        QTest::newRow("below home") << "/Users/a/Library/Caches" << true;
        QTest::newRow("sibling of home") << "/Users/ab/Library" << false;
        QTest::newRow("folders area") << "/private/var/folders/zz/C" << true;
        QTest::newRow("temporary") << "/var/folders/xy/T/" << true;
        QTest::newRow("private tmp") << "/private/tmp" << false;
        QTest::newRow("system caches") << "/Library/Caches" << false;
    }
    void userPath()
    {
        QFETCH(QString, path);
        QFETCH(bool, user);
        QCOMPARE(CacheModel::isUserPath(path, "/Users/a", "/var/folders/xy/T/"), user);
    }

    void nothingSelectedDisablesCleaning()
    {
        Fixture f;
        auto model = f.model({group("a", {"~/Library/Caches"}), group("b", {"/private/tmp"})});
        QVERIFY(model->canClean());
        model->setSelected(0, false);
        QVERIFY(model->canClean());
        model->setSelected(1, false);
        QVERIFY(!model->hasSelection());
        QVERIFY(!model->canClean());
    }

    void onlyMissingDirectories()
    {
        Fixture f;
        auto model = f.model({group("a", {"~/Nope", "/definitely/not/here"}), group("b", {"~/Library/Caches"}, false)});
        settle(model->clean(PrivilegeMode::touchID));
        QCOMPARE(model->log(), QStringList{"削除対象が見つかりませんでした"});
        QVERIFY(!model->isCleaning());
        QCOMPARE(f.messages.take(), QStringList());
        QVERIFY(f.auth.commands().isEmpty());
        QVERIFY(f.helper.actions().isEmpty());
        QVERIFY(f.shell.commands().isEmpty());
    }

    void userOnlySelectionNeverAsks()
    {
        Fixture f;
        writeFile(f.home + "/Library/Caches/a");
        writeFile(f.home + "/Library/Caches/dir/b");
        writeFile(f.temporary + ".hidden");
        auto model = f.model({group("a", {"~/Library/Caches", f.temporary}), group("s", {"/private/tmp"}, false)});
        QSignalSpy prompt(model.get(), &CacheModel::setupPromptChanged);
        model->startClean();
        QTRY_VERIFY(!model->isCleaning());
        QCOMPARE(prompt.count(), 0);
        QVERIFY(f.auth.commands().isEmpty());
        QVERIFY(f.auth.authenticationReasons().isEmpty());
        QVERIFY(f.helper.actions().isEmpty());
        QCOMPARE(model->log(), (QStringList{"🎯 対象: " + f.home + "/Library/Caches", "🎯 対象: " + f.temporary,
                                            "  ✅ " + f.home + "/Library/Caches (中身を完全に削除: 3個)",
                                            "  ✅ " + f.temporary + " (中身を完全に削除: 1個)", "🎉 クリーンアップ完了！"}));
        QCOMPARE(entries(f.home + "/Library/Caches"), QStringList());
        QCOMPARE(entries(f.temporary), QStringList());
        QCOMPARE(f.messages.take(), QStringList{"キャッシュ削除が完了しました"});
        // and measured again, every group (selected or not) with an existing directory
        QCOMPARE(f.shell.commands().size(), 2);
    }

    void onlyTheChosenDirectoriesChange()
    {
        Fixture f;
        const QString caches = f.home + "/Library/Caches";
        writeFile(caches + "/com.app/Cache.db");
        writeFile(caches + "/com.app/fsCachedData/.x");
        writeFile(f.home + "/Library/Logs/keep.log");         // group not chosen
        writeFile(f.home + "/Documents/report.txt");
        writeFile(f.temporary + "item");
        QVERIFY(QFile::link(f.home + "/Documents", caches + "/docs"));
        QVERIFY(QFile::link(f.home + "/Documents/report.txt", f.temporary + "report"));
        auto listAll = [&f] {
            QStringList all;
            QDirIterator it(f.tmp.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                all << QDir(f.tmp.path()).relativeFilePath(it.next());
            all.sort();
            return all;
        };
        QStringList expected;
        for (const QString& entry : listAll()) {
            const QString full = f.tmp.path() + "/" + entry;
            if (!full.startsWith(caches + "/") && !full.startsWith(f.temporary))
                expected << entry;
        }
        auto model = f.model({group("caches", {"~/Library/Caches"}), group("logs", {"~/Library/Logs"}, false),
                              group("tmp", {f.temporary})});
        settle(model->clean(PrivilegeMode::touchID));
        QCOMPARE(listAll(), expected);
        QCOMPARE(model->log(), (QStringList{"🎯 対象: " + caches, "🎯 対象: " + f.temporary,
                                            "  ✅ " + caches + " (中身を完全に削除: 5個)",
                                            "  ✅ " + f.temporary + " (中身を完全に削除: 2個)", "🎉 クリーンアップ完了！"}));
    }

    void systemSelectionWithoutHelperAsksFirst_data()
    {
        QTest::addColumn<CleanerHelperStatus>("status");
        QTest::newRow("missing") << CleanerHelperStatus::missing;
        QTest::newRow("outdated") << CleanerHelperStatus::outdated;
    }
    void systemSelectionWithoutHelperAsksFirst()
    {
        QFETCH(CleanerHelperStatus, status);
        Fixture f;
        f.helper.setScriptedStatus(status);
        settle(f.helper.refreshStatus());
        auto model = f.model({group("a", {"~/Library/Caches", "/private/tmp"})});
        model->startClean();
        QVERIFY(model->showSetupPrompt());
        QVERIFY(!model->isCleaning());
        QVERIFY(model->log().isEmpty());
        QVERIFY(f.auth.commands().isEmpty());
        QVERIFY(f.helper.actions().isEmpty());
    }

    void touchIdRunEmptiesSystemThenUser()
    {
        Fixture f;
        f.helper.setScriptedStatus(CleanerHelperStatus::installed);
        settle(f.helper.refreshStatus());
        f.helper.setRunLines({"CLEANED /private/tmp", "SKIP /private/var/tmp", "DENIED /etc"});
        writeFile(f.home + "/Library/Caches/a");
        auto model = f.model({group("a", {"~/Library/Caches", "/private/tmp"})});
        model->startClean();
        QVERIFY(!model->showSetupPrompt());
        QTRY_VERIFY(!model->isCleaning());
        QCOMPARE(f.helper.actions(), QList<CleanerAction>{CleanerAction::clean({"/private/tmp"})});
        QCOMPARE(f.helper.reasons(), QStringList{"システム領域の一時ファイルとキャッシュを削除します"});
        QVERIFY(f.auth.commands().isEmpty());
        QCOMPARE(model->log(), (QStringList{"🎯 対象: " + f.home + "/Library/Caches", "🎯 対象: /private/tmp",
                                            "🔐 Touch ID で認証中…", "✅ Touch ID 認証OK（パスワード入力なし）",
                                            "  ✅ /private/tmp", "  ℹ️ 対象なし: /private/var/tmp",
                                            "  ⛔️ 許可外のため拒否: /etc",
                                            "  ✅ " + f.home + "/Library/Caches (中身を完全に削除: 1個)",
                                            "🎉 クリーンアップ完了！"}));
    }

    void cancelledTouchIdLeavesUserDirectoriesAlone()
    {
        Fixture f;
        writeFile(f.home + "/Library/Caches/a");
        f.helper.setRunError(CleanerError::cancelled());
        auto model = f.model({group("a", {"~/Library/Caches", "/private/tmp"})});
        settle(model->clean(PrivilegeMode::touchID));
        QCOMPARE(model->log(), (QStringList{"🎯 対象: " + f.home + "/Library/Caches", "🎯 対象: /private/tmp",
                                            "🔐 Touch ID で認証中…", "🚫 認証がキャンセルされたため中止しました"}));
        QCOMPARE(entries(f.home + "/Library/Caches"), QStringList{"a"});
        QVERIFY(!model->isCleaning());
        QCOMPARE(f.messages.take(), QStringList());
        QVERIFY(f.shell.commands().isEmpty());
    }

    void helperNotInstalledFallsBackToPassword()
    {
        Fixture f;
        f.helper.setRunError(CleanerError::notInstalled());
        f.files.phantomContents = {"com.apple.launchd.x"};   // what SIP keeps
        auto model = f.model({group("a", {"/private/tmp"})});
        settle(model->clean(PrivilegeMode::touchID));
        QCOMPARE(f.auth.commands(),
                 QStringList{"find '/private/tmp' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true"});
        QCOMPARE(model->log(), (QStringList{"🎯 対象: /private/tmp", "🔐 Touch ID で認証中…",
                                            "⚠️ ヘルパー未セットアップのためパスワード認証に切り替えます",
                                            "  ⚠️ 一部スキップ（SIP保護等）: /private/tmp", "🎉 クリーンアップ完了！"}));
    }

    void helperFailureStillCleansUserArea()
    {
        Fixture f;
        writeFile(f.home + "/Library/Caches/a");
        f.helper.setRunError(CleanerError::execFailed("sudo: a password is required"));
        auto model = f.model({group("a", {"~/Library/Caches", "/private/tmp"})});
        settle(model->clean(PrivilegeMode::touchID));
        QVERIFY(model->log().contains("❌ システム領域削除エラー: ヘルパー実行エラー: sudo: a password is required"));
        QCOMPARE(model->log().last(), QStringLiteral("🎉 クリーンアップ完了！"));
        QCOMPARE(entries(f.home + "/Library/Caches"), QStringList());
    }

    void passwordRun_data()
    {
        QTest::addColumn<int>("failure");   // 0 none, 1 cancelled, 2 failed
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("success") << 0 << QStringList{"  ✅ /private/tmp", "  ✅ " + QStringLiteral("@/Library/Caches (中身を完全に削除: 1個)"), "🎉 クリーンアップ完了！"};
        QTest::newRow("cancelled") << 1 << QStringList{"🚫 認証がキャンセルされたため中止しました"};
        QTest::newRow("failed") << 2 << QStringList{"❌ システム領域削除エラー: コマンド失敗: boom", "  ✅ @/Library/Caches (中身を完全に削除: 1個)", "🎉 クリーンアップ完了！"};
    }
    void passwordRun()
    {
        QFETCH(int, failure);
        QFETCH(QStringList, tail);
        Fixture f;
        writeFile(f.home + "/Library/Caches/a");
        if (failure == 1)
            f.auth.failAll(AuthError::userCancelled());
        else if (failure == 2)
            f.auth.failAll(AuthError::commandFailed("boom"));
        auto model = f.model({group("a", {"~/Library/Caches", "/private/tmp"})});
        settle(model->clean(PrivilegeMode::password));
        QCOMPARE(f.auth.commands(),
                 QStringList{"find '/private/tmp' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true"});
        QVERIFY(f.helper.actions().isEmpty());
        QStringList expected{"🎯 対象: " + f.home + "/Library/Caches", "🎯 対象: /private/tmp"};
        for (const QString& line : tail)
            expected << QString(line).replace("@", f.home);
        QCOMPARE(model->log(), expected);
        QCOMPARE(entries(f.home + "/Library/Caches").isEmpty(), failure != 1);
    }

    void systemPathBehindALinkIsNotHandedToRoot()
    {
        Fixture f;
        QDir().mkpath(f.tmp.path() + "/real/cache");
        QVERIFY(QFile::link(f.tmp.path() + "/real", f.tmp.path() + "/alias"));
        auto model = f.model({group("a", {f.tmp.path() + "/alias/cache", "/private/tmp"})});
        settle(model->clean(PrivilegeMode::password));
        QCOMPARE(f.auth.commands(),
                 QStringList{"find '/private/tmp' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true"});
        QVERIFY(model->log().contains(CacheModel::refusedLine({f.tmp.path() + "/alias/cache", "許可された場所の外です"})));
    }

    void partialAndEmptyUserDirectories()
    {
        Fixture f;
        const QString caches = f.home + "/Library/Caches";
        for (const char* name : {"a", "b", "c", "protected"})
            writeFile(caches + "/" + name);
        QDir().mkpath(f.home + "/Library/Logs");
        f.files.undeletable = {caches + "/protected"};
        auto model = f.model({group("a", {"~/Library/Caches", "~/Library/Logs"})});
        settle(model->clean(PrivilegeMode::touchID));
        QVERIFY(model->log().contains("  ✅ " + caches + " (一部削除: 3個 / スキップ: 1個)"));
        QVERIFY(model->log().contains("  ℹ️ キャッシュなし: " + f.home + "/Library/Logs"));
        QCOMPARE(entries(caches), QStringList{"protected"});
    }

    void linkedUserDirectoryIsRefused()
    {
        Fixture f;
        writeFile(f.tmp.path() + "/elsewhere/keep");
        QVERIFY(QFile::link(f.tmp.path() + "/elsewhere", f.home + "/Library/Logs"));
        auto model = f.model({group("a", {"~/Library/Logs"})});
        settle(model->clean(PrivilegeMode::touchID));
        QVERIFY(model->log().contains(CacheModel::refusedLine({f.home + "/Library/Logs", "シンボリックリンクを含むパスです"})));
        QCOMPARE(entries(f.tmp.path() + "/elsewhere"), QStringList{"keep"});
    }

    void setupHelper_data()
    {
        QTest::addColumn<int>("failure");   // 0 none, 1 cancelled, 2 failed
        QTest::addColumn<QString>("message");
        QTest::newRow("installed") << 0 << "Touch ID 認証モードを有効にしました ✨";
        QTest::newRow("cancelled") << 1 << "セットアップをキャンセルしました";
        QTest::newRow("failed") << 2 << "!セットアップ失敗: コマンド失敗: visudo: parse error";
    }
    void setupHelper()
    {
        QFETCH(int, failure);
        QFETCH(QString, message);
        Fixture f;
        if (failure == 1)
            f.helper.setInstallError(AuthError::userCancelled());
        else if (failure == 2)
            f.helper.setInstallError(AuthError::commandFailed("visudo: parse error"));
        auto model = f.model({});
        QSignalSpy state(model.get(), &CacheModel::stateChanged);
        settle(model->setupHelper());
        QCOMPARE(f.helper.installCount(), 1);
        QVERIFY(!model->isSettingUp());
        QVERIFY(state.count() >= 2);
        QCOMPARE(f.messages.take(), QStringList{message});
    }

    void setupAndCleanPicksTheMethodByOutcome()
    {
        Fixture f;
        f.helper.setInstallError(AuthError::userCancelled());
        auto model = f.model({group("a", {"/private/tmp"})});
        settle(model->setupAndClean());
        QVERIFY(f.helper.actions().isEmpty());
        QCOMPARE(f.auth.commands().size(), 1);

        Fixture g;
        auto second = g.model({group("a", {"/private/tmp"})});
        settle(second->setupAndClean());
        QCOMPARE(g.helper.actions().size(), 1);
        QVERIFY(g.auth.commands().isEmpty());
    }

    void removeHelper_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("removed") << 0 << QStringList{"Touch ID 認証モードを解除しました"};
        QTest::newRow("cancelled") << 1 << QStringList{};
        QTest::newRow("failed") << 2 << QStringList{"!解除失敗: コマンド失敗: rm: busy"};
    }
    void removeHelper()
    {
        QFETCH(int, failure);
        QFETCH(QStringList, messages);
        Fixture f;
        if (failure == 1)
            f.helper.setUninstallError(AuthError::userCancelled());
        else if (failure == 2)
            f.helper.setUninstallError(AuthError::commandFailed("rm: busy"));
        auto model = f.model({});
        settle(model->removeHelper());
        QCOMPARE(f.helper.uninstallCount(), 1);
        QVERIFY(!model->isSettingUp());
        QCOMPARE(f.messages.take(), messages);
    }

    void appearanceRefreshesStatusThenMeasures()
    {
        Fixture f;
        f.helper.setScriptedStatus(CleanerHelperStatus::installed);
        auto model = f.model({group("a", {"~/Library/Caches"})});
        AppearanceScope scope;
        settle(CacheModel::appear(model, scope.ticket()));
        QCOMPARE(f.helper.refreshCount(), 1);
        QCOMPARE(f.helper.status(), CleanerHelperStatus::installed);
        QCOMPARE(f.shell.commands().size(), 1);

        AppearanceScope left;
        const AppearanceScope::Ticket ticket = left.ticket();
        left.end();
        f.shell.clear();
        settle(CacheModel::appear(model, ticket));
        QVERIFY(f.shell.commands().isEmpty());
    }
};

QTEST_GUILESS_MAIN(CacheModelTest)
#include "tst_cachemodel.moc"
