// The cleanup helper against a scripted sudo, a scripted owner authentication and a recording
// administrator, its script run by sh on temporary trees, its rule checked by the real visudo,
// and install / uninstall / run as root with every target in a temporary directory.
#include "exec/CleanerHelper.h"
#include "platform/Kernel.h"
#include "platform/OwnerAuthentication.h"
#include "platform/Process.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"

#include <QCryptographicHash>
#include <QtTest>

#include <unistd.h>

namespace {

class LoginName final : public platform::Kernel {
public:
    explicit LoginName(QString name) : name_(std::move(name)) {}
    QString loginName() const override { return name_; }
    QString name_;
    platform::Service<platform::Kernel>::Override override_{*this};
};

// The system's owner authentication, giving one reply to every evaluation; without a reply its
// owner policy is unavailable.
class ScriptedOwnerAuthentication final : public platform::OwnerAuthentication {
public:
    bool biometrics = false;
    std::optional<platform::OwnerAuthenticationReply> reply;
    QStringList asked;   // reason and cancel title of each evaluation

    bool canUseBiometrics() const override { return biometrics; }
    bool canEvaluateOwnerPolicy() const override { return reply.has_value(); }
    QCoro::Task<platform::OwnerAuthenticationReply> evaluateOwnerPolicy(QString reason, QString cancelTitle) override
    {
        asked << reason << cancelTitle;
        co_return reply.value_or(platform::OwnerAuthenticationReply());
    }
    platform::Service<platform::OwnerAuthentication>::Override override_{*this};
};

// The macOS locations with the helper file in a temporary directory, present or not.
struct MacWithHelper {
    explicit MacWithHelper(bool present)
    {
        if (locations.helperPath = dir.filePath(QStringLiteral("helper")); present)
            QFile(locations.helperPath).open(QIODevice::WriteOnly);
    }
    QTemporaryDir dir;
    platform::SystemLocations locations = platform::SystemLocations::macOS();
    platform::Service<platform::SystemLocations>::Override override{locations};
};

platform::ProcessOutcome sh(const QStringList& arguments)
{
    return platform::runProcess({.program = QStringLiteral("/bin/sh"), .arguments = arguments, .input = {}, .nullInput = true, .mergeOutput = true});
}

// Every entry below `dir` with its mode, sorted; links are listed, not followed.
QString tree(const QString& dir)
{
    const QByteArray listing = sh({"-c", "cd \"$1\" && find . -mindepth 1 -printf '%P %m\\n' | LC_ALL=C sort", "sh", dir}).standardOutput;
    return QString::fromUtf8(listing).trimmed().replace(QLatin1Char('\n'), QStringLiteral(", "));
}

// Everything install() touches in one temporary directory, with a logging visudo that fails on
// request ("fail-file", "fail-all"), the real stand-in runner behind a recorder that may alter
// the script first, and a sudo that runs the helper directly.
struct InstallWorld {
    explicit InstallWorld(const QByteArray& tamper = QByteArray())
        : runner(tamper, true)
    {
        QDir().mkpath(path(QStringLiteral("tmp")));
        platform::SystemLocations& l = runner.locations();
        l.systemTemporaryDirectory = path(QStringLiteral("tmp"));
        l.helperDirectory = path(QStringLiteral("Tools"));
        l.helperPath = l.helperDirectory + QStringLiteral("/cleaner");
        l.sudoersDirectory = path(QStringLiteral("sudoers.d"));
        l.sudoersRuleFile = l.sudoersDirectory + QStringLiteral("/rule");
        l.helperGroup = QStringLiteral("root");
        l.sha256 = QStringLiteral("/usr/bin/sha256sum");
        l.visudo = path(QStringLiteral("visudo"));
        writeExecutableFile(l.visudo, "#!/bin/sh\nD=\"${0%/*}\"; echo \"$1\" >> \"$D/visudo.log\"\n"
                                      "if [ \"$1\" = -cf ]; then\n"
                                      "  [ -f \"$D/fail-file\" ] && { echo \"$2:3:1: syntax error\" >&2; exit 1; }\n"
                                      "  exec /usr/sbin/visudo -cf \"$2\"\nfi\n"
                                      "[ -f \"$D/fail-all\" ] && { echo 'sudoers: parse error in /etc/sudoers' >&2; exit 1; }\nexit 0\n");
        sudo.emplace(true);   // over the locations above
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    ScriptedScriptRunner runner;
    std::optional<ScriptedSudo> sudo;
};

} // namespace

class TestCleanerHelper : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("installing and running the helper needs root");
    }

    // Each user and the user field of the rule, or for a refused name the reason given.
    void sudoersRule()
    {
        // Quoted: a blank, "@", quote and backslash, a comma that would start a list.
        QList<std::pair<QString, QString>> rows{{"sorami.w2", "sorami.w2"}, {"_dev-user", "_dev-user"}, {"Sorami Shiro", "\"Sorami Shiro\""},
                                                {"a@b", "\"a@b\""}, {"a\"b\\c", "\"a\\\"b\\\\c\""}, {"a,b ALL", "\"a,b ALL\""}, {"all", "all"}, {"Sorami", "Sorami"}};
        for (const char* name : {"ALL", "ADMINS", "A", "WHEEL_2", "CWD", "Defaults", "Defaults:sorami", "User_Alias", "Cmnd_Alias"})
            rows.append({QString::fromUtf8(name), QStringLiteral("ユーザー名「%1」は sudoers のキーワードとして解釈されるため、ヘルパーをセットアップできません").arg(name)});
        for (const char* name : {"%admin", "%:staff", "%#20", "+netgroup", "#0", ":x", "!sorami", "!!sorami", "@includedir"})
            rows.append({QString::fromUtf8(name),
                         QStringLiteral("ユーザー名「%1」は先頭の「%2」により sudoers でグループや ID などの指定として解釈されるため、ヘルパーをセットアップできません")
                             .arg(QString::fromUtf8(name), QString::fromUtf8(name, 1))});
        rows.append({QString(), QStringLiteral("ユーザー名を取得できないため、ヘルパーをセットアップできません")});
        rows.append({QStringLiteral("sorami\nALL ALL=(ALL) NOPASSWD: ALL #"), QStringLiteral("ユーザー名に制御文字が含まれるため、ヘルパーをセットアップできません")});
        MacWithHelper mac(false);
        for (const auto& [user, written] : rows) {
            QString rule;
            try {
                rule = CleanerHelper::makeSudoers(user);
            } catch (const HelperPreparationError& error) {
                QCOMPARE(error.errorDescription(), written);
                continue;
            }
            QCOMPARE(rule, QStringLiteral("# Tessarin: Touch ID 認証後に一時ファイル削除ヘルパーをパスワードなしで実行するためのルール\n"
                                          "# 削除: sudo rm /private/etc/sudoers.d/tessarin_cleaner %1\n%2 ALL=(root) NOPASSWD: %1\n")
                               .arg(mac.locations.helperPath, written));
            QTemporaryDir dir;   // the real visudo accepts every rule written
            const QString file = dir.filePath(QStringLiteral("sudoers"));
            QVERIFY(writeExecutableFile(file, rule.toUtf8()));
            const platform::ProcessOutcome check = sh({QStringLiteral("-c"), QStringLiteral("/usr/sbin/visudo -cf \"$1\""), QStringLiteral("sh"), file});
            QVERIFY2(check.exitStatus == 0, check.standardOutput.constData());
        }
    }

    void statusProbe()
    {
        // The helper file present or not, sudo's answer and status.
        using S = CleanerHelperStatus;
        const struct { bool helperFile; QByteArray output; int exitStatus; S expected; } rows[] = {
            {true, "2.2.0\n", 0, S::installed}, {true, "  2.2.0 \n\n", 0, S::installed}, {true, "2.1.0\n", 0, S::outdated}, {true, "2.2.1\n", 0, S::outdated},
            {true, "", 0, S::outdated}, {true, "sudo: a password is required\n", 1, S::missing}, {true, "2.2.0\n", 1, S::missing},
            {false, "2.2.0\n", 0, S::missing}};
        for (const auto& row : rows) {
            MacWithHelper mac(row.helperFile);
            ScriptedSudo sudo;
            sudo.answer(row.output, {}, row.exitStatus, QStringLiteral("version"));
            CleanerHelper helper;
            QCOMPARE(QCoro::waitFor(helper.refreshStatus()), row.expected);
            QCOMPARE(helper.status(), row.expected);
        }
    }

    // What the version probe answers ("-": no helper file), the system's owner authentication
    // (none: its policy unavailable) through the real administrator object, the action, the
    // helper's answer, and the lines joined by "|" or the error.
    void run()
    {
        using Reply = std::optional<platform::OwnerAuthenticationReply>;
        using Outcome = platform::OwnerAuthenticationReply::Outcome;
        const Reply ok{{Outcome::success, {}}};
        const CleanerAction purge = CleanerAction::purge(), clean = CleanerAction::clean({"/Library/Caches", "/private/tmp/"});
        const auto fails = [](const CleanerError& e) { return LocalizedError::describe(e); };
        const QString notInstalled = fails(CleanerError::notInstalled());
        const struct { QByteArray version; Reply authentication; CleanerAction action; QByteArray output; int exitStatus; QString result; } rows[] = {
            {"2.2.0\n", ok, clean, "CLEANED /Library/Caches\n\nDENIED /private/tmp/\n", 0, "CLEANED /Library/Caches|DENIED /private/tmp/"},
            {"2.2.0\n", ok, purge, "PURGED\n", 0, "PURGED"},
            {"2.2.0\n", ok, clean, "", 1, fails(CleanerError::execFailed("exit 1"))},   // silent
            {"2.2.0\n", ok, purge, "usage: x\n", 64, fails(CleanerError::execFailed("usage: x\n"))},
            {"-", ok, purge, "", 0, notInstalled},   // missing, outdated
            {"2.0.0\n", ok, purge, "", 0, notInstalled},
            {"2.2.0\n", Reply{{Outcome::cancelled, {}}}, purge, "", 0, fails(CleanerError::cancelled())},
            {"2.2.0\n", std::nullopt, purge, "", 0, fails(CleanerError::authFailed("このMacでは生体認証/パスワード認証が利用できません"))},
            {"2.2.0\n", Reply{{Outcome::failedWithoutError, {}}}, purge, "", 0, fails(CleanerError::authFailed("認証に失敗しました"))},
            {"2.2.0\n", Reply{{Outcome::error, "Biometry is locked out."}}, purge, "", 0, fails(CleanerError::authFailed("Biometry is locked out."))},
        };
        for (const auto& row : rows) {
            MacWithHelper mac(row.version != "-");
            ScriptedSudo sudo;
            sudo.answer(row.version, {}, 0, QStringLiteral("version"));
            sudo.answer(row.output, {}, row.exitStatus);
            ScriptedOwnerAuthentication system;
            system.reply = row.authentication;
            CleanerHelper helper;
            const Settled<QStringList> result = settle(helper.run(row.action, QStringLiteral("理由")));
            QCOMPARE(result.value ? result.value->join(QLatin1Char('|')) : result.errorText(), row.result);
            QCOMPARE(system.asked.join('|'), row.version == "2.2.0\n" && row.authentication ? QStringLiteral("理由|キャンセル") : QString());
            const QStringList helperCall{"-n", mac.locations.helperPath};
            QList<QStringList> calls;
            if (row.version != "-")
                calls << helperCall + QStringList{"version"};
            if (row.version == "2.2.0\n" && row.authentication && row.authentication->outcome == Outcome::success)
                calls << helperCall + (row.action == purge ? QStringList{"purge"} : QStringList{"clean"} + row.action.directories);
            QCOMPARE(sudo.calls(), calls);
            QCOMPARE(sudo.numbered(QStringLiteral("stdin")), QByteArrayList(calls.size(), "/dev/null\n"));
        }
        // Touch ID is offered beside the helper by the biometrics-only policy alone.
        ScriptedOwnerAuthentication system;
        QCOMPARE(AuthorizationManager::shared().canUseTouchID(), false);
        system.biometrics = true;
        QCOMPARE(AuthorizationManager::shared().canUseTouchID(), true);
    }

    // The script on a tree: allowed A, B (below var/) and M (never created), O outside. Each row
    // has shell code run in the tree first, the arguments as shell words, both streams and the
    // status with the tree's path left out, and the tree afterwards ("": unchanged).
    void script()
    {
        const QString usage = QStringLiteral("usage: /cleaner version | clean <dir>... | purge\nexit 64");
        const struct { QString setup, arguments, output, after; } rows[] = {
            {"", "", usage, ""}, {"", "delete /", usage, ""}, {"", "''", usage, ""},
            // The contents go, the folders and their modes stay, links are not followed.
            {"mkdir -p $A/deep/er && touch $A/file $A/.hidden $A/deep/er/file $A/-rf \"$A/sp ' \\\" \\$x\" \"$B/.h\" $O/keep && ln -s $O $A/link && chmod 705 $A",
             "clean $A \"$B\" $A", "CLEANED /a\nCLEANED /var/b\nCLEANED /a\nexit 0", "a 705, o 755, o/keep 644, var 755, var/b 755"},
            // Denied or skipped, nothing touched.
            {"mkdir $A/sub && touch $A/sub/file $O/keep", "clean $A/ $A/sub $O $M $A/. / '' \"$A*\"",
             "DENIED /a/\nDENIED /a/sub\nDENIED /o\nSKIP /m\nDENIED /a/.\nDENIED /\nDENIED \nDENIED /a*\nexit 0",
             "a 755, a/sub 755, a/sub/file 644, o 755, o/keep 644, var 755, var/b 755"},
            // The allowed path or a folder above it is a link.
            {"touch $O/keep && rmdir $A && ln -s $O $A && mv var $O/var && ln -s $O/var var && touch \"$O/var/b/keep\"", "clean $A \"$B\"",
             "DENIED /a\nDENIED /var/b\nexit 0", "a 777, o 755, o/keep 644, o/var 755, o/var/b 755, o/var/b/keep 644, var 777"},
            {"", "purge", "PURGED\nexit 0", "a 755, o 755, purged 644, var 755, var/b 755"},
            {"touch fail", "purge", "exit 0", "a 755, fail 644, o 755, purged 644, var 755, var/b 755"},   // a failing purge says nothing
        };
        for (const auto& row : rows) {
            QTemporaryDir dir;
            const QString root = QFileInfo(dir.path()).canonicalFilePath();
            QVERIFY(QDir(root).mkpath(QStringLiteral("a")) && QDir(root).mkpath(QStringLiteral("o")) && QDir(root).mkpath(QStringLiteral("var/b")));
            QTemporaryDir toolsDir;   // outside the tree
            const QString tools = QFileInfo(toolsDir.path()).canonicalFilePath();
            QVERIFY(writeExecutableFile(tools + QStringLiteral("/purge"), "#!/bin/sh\ntouch purged\n[ ! -f fail ]\n"));
            QVERIFY(writeExecutableFile(tools + QStringLiteral("/cleaner"),
                                        CleanerHelper::makeScript({root + QStringLiteral("/a"), root + QStringLiteral("/var/b"), root + QStringLiteral("/m")},
                                                                  tools + QStringLiteral("/purge")).toUtf8()));
            const QString before = tree(root);
            const platform::ProcessOutcome run = sh({QStringLiteral("-c"),
                                                     QStringLiteral("cd \"$1\" && A=$1/a B=$1/var/b M=$1/m O=$1/o && %1\n"
                                                                    "sh \"$2/cleaner\" %2 2>&1; echo \"exit $?\"").arg(row.setup.isEmpty() ? QStringLiteral("true") : row.setup, row.arguments),
                                                     QStringLiteral("sh"), root, tools});
            QCOMPARE(QString::fromUtf8(run.standardOutput).replace(tools, QString()).replace(root, QString()).trimmed(), row.output);
            QCOMPARE(tree(root), row.after.isEmpty() ? before : row.after);
        }
    }

    // The root lines as a Mac runs them (tools, paths, group, the order of the checks) around
    // the two written texts, which the real install below runs; a refused login name asks nothing.
    void macCommandLines()
    {
        MacWithHelper mac(false);
        FakeAuthorization authorization;
        CleanerHelper helper;
        {
            LoginName keyword(QStringLiteral("ALL"));
            QVERIFY(settle(helper.install()).errorAs<HelperPreparationError>());
        }
        settle(helper.install());
        settle(helper.uninstall());
        const QString install = authorization.commands().value(0);
        const qsizetype from = install.indexOf(QStringLiteral("( set -C; ")) + 10;
        const QString writes = install.mid(from, install.indexOf(QStringLiteral(" && { [ \"$("), from) - from);
        const auto sha = [](const QString& text) {
            return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
        };
        QCOMPARE(authorization.commands(),
                 (QStringList{QStringLiteral(
                      "/bin/mkdir -p /Library/PrivilegedHelperTools /private/etc/sudoers.d || exit 1; "
                      "T=$(/usr/bin/mktemp -d '/private/tmp/TessarinHelper.XXXXXX') || exit 1; ( set -C; %1 && "
                      "{ [ \"$(/usr/bin/shasum -a 256 < \"$T/cleaner\")\" = '%2  -' ] && [ \"$(/usr/bin/shasum -a 256 < \"$T/sudoers\")\" = '%3  -' ] || "
                      "{ echo 'ヘルパーの作業ファイルが作成時の内容と一致しません' >&2; exit 1; }; } && /usr/sbin/visudo -cf \"$T/sudoers\" >/dev/null && "
                      "/usr/bin/install -o root -g wheel -m 755 \"$T/cleaner\" '%4' && "
                      "/usr/bin/install -o root -g wheel -m 440 \"$T/sudoers\" '/private/etc/sudoers.d/tessarin_cleaner' && "
                      "{ /usr/sbin/visudo -c >/dev/null || { /bin/rm -f '/private/etc/sudoers.d/tessarin_cleaner'; exit 1; }; } ); "
                      "S=$?; /bin/rm -rf \"$T\"; exit $S")
                      .arg(writes, sha(CleanerHelper::makeScript()), sha(CleanerHelper::makeSudoers()), mac.locations.helperPath),
                  "/bin/rm -f '/private/etc/sudoers.d/tessarin_cleaner' '" + mac.locations.helperPath + "'"}));
        QVERIFY(!writes.isEmpty() && !writes.contains(QLatin1Char('\n')));
    }

    // A login name that meets every layer of quoting on its way into the rule; the installed helper
    // refuses all but its own folders; uninstalling removes its two files and nothing else.
    void installsRefusesOtherFoldersAndUninstalls()
    {
        InstallWorld world;
        LoginName login(QStringLiteral("o'hara \"x\" $HOME `id` a\\b"));
        CleanerHelper helper;
        QCOMPARE(settle(helper.install()).errorText(), QString());
        QCOMPARE(tree(world.dir.path()), QStringLiteral("Tools 755, Tools/cleaner 755, sudoers.d 755, sudoers.d/rule 440, tmp 755, visudo 700, visudo.log 644"));
        const QStringList denied{"/", "/private/tmp/", "/Library/Caches/com.apple", "/etc", "/Users", "/Library", "/private/var"};
        const Settled<QStringList> deniedRun = settle(helper.run(CleanerAction::clean(denied), QStringLiteral("r")));
        QCOMPARE(deniedRun.value.value_or(QStringList()), QStringList(denied).replaceInStrings(QRegularExpression("^"), "DENIED "));
        QVERIFY(settle(helper.uninstall()).value);
        QCOMPARE(tree(world.dir.path()), QStringLiteral("Tools 755, sudoers.d 755, tmp 755, visudo 700, visudo.log 644"));
        QCOMPARE(helper.status(), CleanerHelperStatus::missing);
    }

    // Shell code the recorder runs before the real runner reads the script, the visudo failure
    // asked for ("fail-file": the rule fails its check; "fail-all": the system's does), the
    // failure's text up to the varying path, and what stays in the world.
    void failedInstallLeavesNothing()
    {
        const QString mismatch = QStringLiteral("コマンド失敗: execution error: ヘルパーの作業ファイルが作成時の内容と一致しません");
        const QString none = QStringLiteral("Tools 755, sudoers.d 755, tmp 755, visudo 700");
        const struct { QByteArray tamper; QString failVisudo, error, after; } rows[] = {
            {"sed -i 's/HELPER_VERSION=/HELPER_VERSION=1/' \"$D/script.$n\"", "", mismatch, none},   // the script altered on the way
            {"sed -i 's/NOPASSWD: /NOPASSWD: ALL, /' \"$D/script.$n\"", "", mismatch, none},   // the rule widened on the way
            {"", "fail-file", "コマンド失敗: execution error: /", "Tools 755, fail-file 644, sudoers.d 755, tmp 755, visudo 700, visudo.log 644"},
            {"", "fail-all", "コマンド失敗: execution error: sudoers: parse error in /etc/sudoers",   // the rule goes again
             "Tools 755, Tools/cleaner 755, fail-all 644, sudoers.d 755, tmp 755, visudo 700, visudo.log 644"},
        };
        for (const auto& row : rows) {
            InstallWorld world(row.tamper);
            if (!row.failVisudo.isEmpty())
                QFile(world.path(row.failVisudo)).open(QIODevice::WriteOnly);
            CleanerHelper helper;
            QCOMPARE(settle(helper.install()).errorText().left(row.error.size()), row.error);
            QCOMPARE(tree(world.dir.path()), row.after);
            QCOMPARE(world.runner.scripts().size(), 1);
            QCOMPARE(world.sudo->calls(), QList<QStringList>());   // no refresh after a failure
        }
    }
};

QTEST_GUILESS_MAIN(TestCleanerHelper)
#include "tst_cleanerhelper_process.moc"
