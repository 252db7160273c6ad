#include "cleanup/CacheModel.h"
#include "support/BannerMessages.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/TempTree.h"

#include <QtTest>

namespace {

const QString awkTail = QStringLiteral(" 2>/dev/null | awk '{sum+=$1} END{printf \"%d\", sum/1024}'");
const QString passwordLine =
    QStringLiteral("find '/private/tmp' -mindepth 1 -maxdepth 1 -exec rm -rf {} + 2>/dev/null || true; true");

CacheCategory group(const QStringList& paths, bool selected = true)
{
    CacheCategory c;
    c.paths = paths, c.isSelected = selected;
    return c;
}

// The tree with a phantom "/private/tmp" for root, and fakes for every way out.
struct Fixture : TempTree {
    FakeCommandRunner shell;
    FakeAuthorization auth;
    FakeCleanerHelper helper;
    BannerMessages messages;

    Fixture() { files.phantomDirectories = {QStringLiteral("/private/tmp")}; }
    static auto model(QList<CacheCategory> categories) { return std::make_shared<CacheModel>(std::move(categories)); }
};

} // namespace

class CacheModelTest : public QObject {
    Q_OBJECT

private slots:
    void scanMeasuresEveryGroupWithExistingPaths()
    {
        Fixture f;
        QVERIFY(f.make({f.home + "/Library/Logs/"}));
        auto model = f.model({group({"~/Library/Caches", "~/Missing", "/private/tmp"}), group({"~/Nothing", "/nowhere"}, false),
                              group({"~/Library/Logs"}, false), group({f.temporary})});
        f.shell.on("du -sk \"" + f.home + "/Library/Caches\" \"/private/tmp\"" + awkTail, {"1500", {}, 0});
        f.shell.on("du -sk \"" + f.home + "/Library/Logs\"" + awkTail, {"abc", {}, 0});
        f.shell.on("du -sk \"" + f.temporary + "\"" + awkTail, {"+7", {}, 0});
        settle(model->scan());
        QList<qint64> sizes{f.shell.commands().size(), model->selectedTotal()};   // no du for the group without an existing path
        for (const CacheCategory& c : model->categories())
            sizes << c.estimatedMB;
        QCOMPARE(sizes, (QList<qint64>{3, 1507, 1500, 0, 0, 7}));

        AppearanceScope left;   // once the screen is left, the appearance task runs nothing
        const AppearanceScope::Ticket ticket = left.ticket();
        left.end();
        f.shell.clear();
        settle(CacheModel::appear(model, ticket));
        QVERIFY(f.shell.commands().isEmpty());
    }

    void partition()
    {
        Fixture f;
        QVERIFY(f.make({f.home + "/Library/Logs/", f.root + "/home2/Library/", f.root + "/real/cache/"}));
        QVERIFY(QFile::link(f.root + "/real", f.root + "/alias"));
        auto model = f.model({group({"~/Library/Caches", "~/Library/Missing", f.temporary}), group({"~/Library/Logs"}, false),
                              group({"/private/tmp", "/private/var/tmp", f.root + "/home2/Library"}),
                              group({"~/Library/Caches", f.root + "/alias/cache"})});
        const PathSplit split = model->partitionPaths();
        QCOMPARE(split.user, (QStringList{f.home + "/Library/Caches", f.temporary, f.home + "/Library/Caches"}));
        // A sibling merely named like the home is not the user's; root empties only the helper's folders.
        QCOMPARE(split.systemPaths(), QStringList{"/private/tmp"});
        const QString outside = QStringLiteral("許可された場所の外です");
        QCOMPARE(split.refused, (QList<RefusedPath>{{f.root + "/home2/Library", outside}, {f.root + "/alias/cache", outside}}));
        const std::pair<const char*, bool> paths[] = {{"/Users/a/Library", true}, {"/Users/ab/Library", false},
                                                      {"/private/var/folders/zz/C", true}, {"/var/folders/xy/T/", true},
                                                      {"/private/tmp", false}, {"/Library/Caches", false}};
        for (const auto& [path, user] : paths)
            QCOMPARE(CacheModel::isUserPath(path, "/Users/a", "/var/folders/xy/T/"), user);
    }

    void nothingThatExistsRunsNothing()
    {
        Fixture f;
        auto model = f.model({group({"~/Library/Nope", "/definitely/not/here"}), group({"/private/tmp"})});
        model->setSelected(1, false);
        settle(model->clean(PrivilegeMode::touchID));
        QCOMPARE(model->log() + f.messages.take(), QStringList{"削除対象が見つかりませんでした"});
        QVERIFY(f.auth.commands().isEmpty() && f.helper.actions().isEmpty() && f.shell.commands().isEmpty());
    }

    // Without an up-to-date helper a run with system directories asks first; with it, system then user.
    void touchIdRunEmptiesSystemThenUser()
    {
        Fixture f;
        f.helper.setScriptedStatus(CleanerHelperStatus::outdated);   // a missing one: the view test asks
        settle(f.helper.refreshStatus());
        auto model = f.model({group({"~/Library/Caches", "/private/tmp"})});
        model->startClean();
        QVERIFY(model->showSetupPrompt() && !model->isCleaning() && model->log().isEmpty() && f.helper.actions().isEmpty());
        f.helper.setScriptedStatus(CleanerHelperStatus::installed);
        settle(f.helper.refreshStatus());
        f.helper.setRunLines({"CLEANED /private/tmp", "SKIP /private/var/tmp", "DENIED /etc", "PURGED"});
        // A folder that cannot be opened was not emptied, whatever it holds.
        QVERIFY(f.make({f.home + "/Library/Caches/a", f.home + "/Library/Logs/"}));
        f.files.undeletable = {f.home + "/Library/Logs"};
        model = f.model({group({"~/Library/Caches", "/private/tmp", "~/Library/Logs"})});
        model->startClean();
        QTRY_VERIFY(!model->isCleaning());
        QCOMPARE(f.helper.actions(), QList<CleanerAction>{CleanerAction::clean({"/private/tmp"})});
        QVERIFY(f.auth.commands().isEmpty() && f.helper.reasons().size() == 1);
        QCOMPARE(model->log(), (QStringList{"🎯 対象: " + f.home + "/Library/Caches", "🎯 対象: " + f.home + "/Library/Logs", "🎯 対象: /private/tmp",
                                            "🔐 Touch ID で認証中…", "✅ Touch ID 認証OK（パスワード入力なし）", "  ✅ /private/tmp",
                                            "  ℹ️ 対象なし: /private/var/tmp", "  ⛔️ 許可外のため拒否: /etc", "  PURGED",
                                            "  ✅ " + f.home + "/Library/Caches (中身を完全に削除: 1個)",
                                            "  ⚠️ スキップ: " + f.home + "/Library/Logs — " + qt_error_string(EACCES), "🎉 クリーンアップ完了！"}));
    }

    // Cancelling stops all, a missing helper hands over to the password, other failures still empty the user's area.
    void rootPartOutcomes()
    {
        struct Row {
            PrivilegeMode mode;
            std::optional<CleanerError> helperError;
            std::optional<AuthError> authError;
            bool sipKeeps;
            QStringList tail;   // "@": the user's directory emptied
        };
        const Row rows[] = {
            {PrivilegeMode::touchID, CleanerError::cancelled(), {}, false, {"🔐 Touch ID で認証中…", "🚫 認証がキャンセルされたため中止しました"}},
            {PrivilegeMode::touchID, CleanerError::notInstalled(), {}, true,
             {"🔐 Touch ID で認証中…", "⚠️ ヘルパー未セットアップのためパスワード認証に切り替えます", "  ⚠️ 一部スキップ（SIP保護等）: /private/tmp", "@"}},
            {PrivilegeMode::touchID, CleanerError::execFailed("sudo: a password is required"), {}, false,
             {"🔐 Touch ID で認証中…", "❌ システム領域削除エラー: ヘルパー実行エラー: sudo: a password is required", "@"}},
            {PrivilegeMode::password, {}, AuthError::commandFailed("boom"), false, {"❌ システム領域削除エラー: コマンド失敗: boom", "@"}},
        };
        for (const Row& row : rows) {
            Fixture f;
            const QString caches = f.home + "/Library/Caches", saved = f.home + "/Library/Saved";
            QVERIFY(f.make({caches + "/a", caches + "/protected", f.root + "/real/cache/"}));
            QVERIFY(QFile::link(f.root + "/real", f.root + "/alias") && QFile::link(f.root + "/real", saved));
            f.files.undeletable = {caches + "/protected"};
            if (row.sipKeeps)
                f.files.phantomContents = {"com.apple.launchd.x"};
            f.helper.setRunError(row.helperError);
            if (row.authError)
                f.auth.failAll(*row.authError);
            auto model = f.model({group({"~/Library/Caches", "/private/tmp", f.root + "/alias/cache", "~/Library/Saved"})});
            settle(model->clean(row.mode));
            const bool passwordUsed = row.mode == PrivilegeMode::password || row.sipKeeps;
            QCOMPARE(f.auth.commands(), passwordUsed ? QStringList{passwordLine} : QStringList{});
            QStringList expected{"🎯 対象: " + caches, "🎯 対象: /private/tmp", CacheModel::refusedLine({f.root + "/alias/cache", "許可された場所の外です"}),
                                 CacheModel::refusedLine({saved, "シンボリックリンクを含むパスです"})};
            for (const QString& line : row.tail)
                expected << (line == "@" ? "  ✅ " + caches + " (一部削除: 1個 / スキップ: 1個)" : line);
            if (row.tail.last() == "@")
                expected << "🎉 クリーンアップ完了！" << "キャッシュ削除が完了しました";
            QCOMPARE(model->log() + f.messages.take(), expected);
            QCOMPARE(f.entries(caches), (row.tail.last() == "@" ? QStringList{"protected"} : QStringList{"a", "protected"}));
        }
    }

    // The banner tells how setting up or removing the helper went; a clean after a setup that
    // did not install runs with the password.
    void helperSetupAndRemoval()
    {
        const std::tuple<bool, std::optional<AuthError>, QStringList> rows[] = {
            {false, {}, {"Touch ID 認証モードを有効にしました ✨"}},
            {false, AuthError::userCancelled(), {"セットアップをキャンセルしました"}},
            {false, AuthError::commandFailed("boom"), {"!セットアップ失敗: コマンド失敗: boom"}},
            {true, {}, {"Touch ID 認証モードを解除しました"}},
            {true, AuthError::userCancelled(), {}},
            {true, AuthError::commandFailed("boom"), {"!解除失敗: コマンド失敗: boom"}},
        };
        for (const auto& [remove, error, messages] : rows) {
            Fixture f;
            remove ? f.helper.setUninstallError(error) : f.helper.setInstallError(error);
            auto model = f.model({group({"/private/tmp"})});
            QSignalSpy state(model.get(), &CacheModel::stateChanged);
            settle(remove ? model->removeHelper() : model->setupAndClean());
            QVERIFY((remove ? f.helper.uninstallCount() : f.helper.installCount()) == 1 && !model->isSettingUp() && state.count() >= 2);
            QCOMPARE(f.messages.take(), remove ? messages : messages + QStringList{"キャッシュ削除が完了しました"});
            QCOMPARE(f.auth.commands(), !remove && error ? QStringList{passwordLine} : QStringList{});
            QCOMPARE(f.helper.actions().size(), !remove && !error);
        }
    }
};

QTEST_GUILESS_MAIN(CacheModelTest)
#include "tst_cachemodel.moc"
