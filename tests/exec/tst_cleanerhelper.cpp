// The cleanup helper's texts, command lines, status probe, install, uninstall and run,
// against a scripted sudo and a recording administrator (nothing runs as root here).
#include "exec/CleanerHelper.h"
#include "platform/Kernel.h"
#include "platform/Process.h"
#include "platform/SystemLocations.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString sha256(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

// The macOS locations with the helper file in a temporary directory, so that its presence
// is the test's to decide.
struct MacLocationsWithHelperIn {
    explicit MacLocationsWithHelperIn(const QString& dir)
    {
        locations.helperPath = dir + QStringLiteral("/com.orvelle.Tessarin.cleaner");
    }
    platform::SystemLocations locations = platform::SystemLocations::macOS();
    platform::Service<platform::SystemLocations>::Override override{locations};
};

// The login name of the user running the program, for the length of one test.
class LoginName final : public platform::Kernel {
public:
    explicit LoginName(QString name) : name_(std::move(name)) {}
    QString loginName() const override { return name_; }

private:
    QString name_;
    platform::Service<platform::Kernel>::Override override_{*this};
};

void createFile(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

const QString kMacHelper = QStringLiteral("/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner");

} // namespace

class TestCleanerHelper : public QObject {
    Q_OBJECT
private slots:
    void scriptFillsTheTemplate();
    void scriptTemplatesItsAllowList();
    void sudoersRule_data();
    void sudoersRule();
    void sudoersRuleOnLinux();
    void actionArguments();
    void errorDescriptions();
    void statusProbe_data();
    void statusProbe();
    void statusProbeWithoutHelperFileAsksNobody();
    void installRunsOneCheckedCommand();
    void installFailureKeepsStatus_data();
    void installFailureKeepsStatus();
    void installRefusesAKeywordLoginNameBeforeAnyDialog();
    void uninstallRemovesBothFiles();
    void uninstallOnLinuxUsesTheLinuxRuleFile();
    void runRequiresCurrentHelper_data();
    void runRequiresCurrentHelper();
    void runAuthenticationOutcomes_data();
    void runAuthenticationOutcomes();
    void runReturnsTheHelperLines_data();
    void runReturnsTheHelperLines();
    void fakeCleanerHelperScripts();
};

void TestCleanerHelper::scriptFillsTheTemplate()
{
    const QString script = CleanerHelper::makeScript();
    QVERIFY(script.startsWith(QStringLiteral(
        "#!/bin/sh\n"
        "# Tessarin Cleaner Helper\n"
        "# root 所有・sudo (NOPASSWD) 経由で実行される一時ファイル削除専用ヘルパー。\n"
        "# 許可されたディレクトリの「中身」だけを削除し、それ以外のパスはすべて拒否する。\n"
        "PATH=/usr/bin:/bin:/usr/sbin:/sbin\n"
        "export PATH\n"
        "umask 022\n"
        "\n"
        "HELPER_VERSION=\"2.2.0\"\n"
        "\n")));
    QVERIFY(script.contains(QStringLiteral(
        "/private/tmp|/private/var/tmp|/Library/Caches|/Library/Logs|/opt/homebrew/var/cache|/usr/local/var/cache) ;;\n")));
    for (const char* piece : {"echo \"DENIED $target\"", "echo \"SKIP $target\"", "echo \"CLEANED $target\"",
                              "-mindepth 1 -maxdepth 1 -exec rm -rf {} +", "/usr/sbin/purge && echo \"PURGED\"",
                              "echo \"usage: $0 version | clean <dir>... | purge\" >&2", "exit 64",
                              "echo \"$HELPER_VERSION\"", "case \"${1:-}\" in"})
        QVERIFY2(script.contains(QString::fromUtf8(piece)), piece);
    QVERIFY(script.endsWith(QStringLiteral("\nexit 0\n")));
    QVERIFY(!script.contains(QStringLiteral("__")));
    QCOMPARE(CleanerHelper::allowedPaths(),
             (QStringList{"/private/tmp", "/private/var/tmp", "/Library/Caches", "/Library/Logs",
                          "/opt/homebrew/var/cache", "/usr/local/var/cache"}));
}

void TestCleanerHelper::scriptTemplatesItsAllowList()
{
    const QString script = CleanerHelper::makeScript({QStringLiteral("/a"), QStringLiteral("/b c")}, QStringLiteral("/x/purge"));
    QVERIFY(script.contains(QStringLiteral("        /a|\"/b c\") ;;\n")));
    QVERIFY(script.contains(QStringLiteral("/x/purge && echo \"PURGED\"")));
    QVERIFY(!script.contains(QStringLiteral("/private/tmp")));
    QVERIFY(!script.contains(QStringLiteral("/usr/sbin/purge")));
}

void TestCleanerHelper::sudoersRule_data()
{
    // `written` is the user field of the rule, or for a refused name the reason given.
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("written");
    QTest::newRow("letters, digits, dots") << QStringLiteral("sorami.w2") << QStringLiteral("sorami.w2");
    QTest::newRow("underscore and hyphen") << QStringLiteral("_dev-user") << QStringLiteral("_dev-user");
    QTest::newRow("blank") << QStringLiteral("Sorami Shiro") << QStringLiteral("\"Sorami Shiro\"");
    QTest::newRow("at sign") << QStringLiteral("a@b") << QStringLiteral("\"a@b\"");
    QTest::newRow("quote and backslash stay inside the quotes")
        << QStringLiteral("a\"b\\c") << QStringLiteral("\"a\\\"b\\\\c\"");
    QTest::newRow("comma would start a list") << QStringLiteral("a,b ALL") << QStringLiteral("\"a,b ALL\"");
    QTest::newRow("lowercase all is a name") << QStringLiteral("all") << QStringLiteral("all");
    QTest::newRow("capitalised name") << QStringLiteral("Sorami") << QStringLiteral("Sorami");
    const auto keyword = [](const QString& name) {
        return QStringLiteral("ユーザー名「") + name + QStringLiteral("」は sudoers のキーワードとして解釈されるため、ヘルパーをセットアップできません");
    };
    for (const char* name : {"ALL", "ADMINS", "A", "WHEEL_2", "CWD", "Defaults", "Defaults:sorami", "User_Alias", "Cmnd_Alias"})
        QTest::addRow("refused: %s", name) << QString::fromUtf8(name) << keyword(QString::fromUtf8(name));
    for (const char* name : {"%admin", "%:staff", "%#20", "+netgroup", "#0", ":x", "!sorami", "!!sorami", "@includedir"})
        QTest::addRow("refused: %s", name)
            << QString::fromUtf8(name)
            << QStringLiteral("ユーザー名「%1」は先頭の「%2」により sudoers でグループや ID などの指定として解釈されるため、"
                              "ヘルパーをセットアップできません")
                   .arg(QString::fromUtf8(name), QString::fromUtf8(name, 1));
    QTest::newRow("refused: empty") << QString() << QStringLiteral("ユーザー名を取得できないため、ヘルパーをセットアップできません");
    QTest::newRow("refused: line break")
        << QStringLiteral("sorami\nALL ALL=(ALL) NOPASSWD: ALL #")
        << QStringLiteral("ユーザー名に制御文字が含まれるため、ヘルパーをセットアップできません");
}

void TestCleanerHelper::sudoersRule()
{
    QFETCH(QString, user);
    QFETCH(QString, written);
    platform::SystemLocations mac = platform::SystemLocations::macOS();
    platform::Service<platform::SystemLocations>::Override locations(mac);
    if (written.contains(QStringLiteral("ヘルパーをセットアップできません"))) {
        QString refusal;
        try {
            CleanerHelper::makeSudoers(user);
        } catch (const HelperPreparationError& error) {
            refusal = error.errorDescription();
        }
        QCOMPARE(refusal, written);
        return;
    }
    QCOMPARE(CleanerHelper::makeSudoers(user),
             QStringLiteral("# Tessarin: Touch ID 認証後に一時ファイル削除ヘルパーをパスワードなしで実行するためのルール\n"
                            "# 削除: sudo rm /private/etc/sudoers.d/tessarin_cleaner "
                            "/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner\n")
                 + written
                 + QStringLiteral(" ALL=(root) NOPASSWD: /Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner\n"));
}

void TestCleanerHelper::sudoersRuleOnLinux()
{
#ifdef __APPLE__
    QSKIP("Linux locations");
#endif
    const platform::SystemLocations& l = platform::SystemLocations::shared();
    QCOMPARE(l.sudoersDirectory, QStringLiteral("/etc/sudoers.d"));
    QCOMPARE(l.sudoersRuleFile, QStringLiteral("/etc/sudoers.d/tessarin_cleaner"));
    QCOMPARE(l.helperGroup, QStringLiteral("root"));
    QCOMPARE(l.helperPath, kMacHelper);
    QVERIFY(CleanerHelper::makeSudoers(QStringLiteral("u")).contains(
        QStringLiteral("# 削除: sudo rm /etc/sudoers.d/tessarin_cleaner ") + kMacHelper + QLatin1Char('\n')));
}

void TestCleanerHelper::actionArguments()
{
    QCOMPARE(CleanerAction::clean({QStringLiteral("/Library/Caches"), QStringLiteral("/private/tmp")}).arguments(),
             (QStringList{"clean", "/Library/Caches", "/private/tmp"}));
    QCOMPARE(CleanerAction::clean({}).arguments(), QStringList{"clean"});
    QCOMPARE(CleanerAction::purge().arguments(), QStringList{"purge"});
}

void TestCleanerHelper::errorDescriptions()
{
    QCOMPARE(CleanerError::authFailed(QStringLiteral("x")).errorDescription(), QStringLiteral("Touch ID 認証に失敗しました: x"));
    QCOMPARE(CleanerError::execFailed(QStringLiteral("exit 1")).errorDescription(), QStringLiteral("ヘルパー実行エラー: exit 1"));
    QCOMPARE(CleanerError::cancelled().errorDescription(), QStringLiteral("認証がキャンセルされました。"));
    QCOMPARE(CleanerError::notInstalled().errorDescription(), QStringLiteral("Touch ID 削除ヘルパーが未セットアップです。"));
}

void TestCleanerHelper::statusProbe_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<CleanerHelperStatus>("expected");
    QTest::newRow("current version with a newline") << QByteArray("2.2.0\n") << 0 << CleanerHelperStatus::installed;
    QTest::newRow("current version padded") << QByteArray("  2.2.0 \n\n") << 0 << CleanerHelperStatus::installed;
    QTest::newRow("older version") << QByteArray("2.1.0\n") << 0 << CleanerHelperStatus::outdated;
    QTest::newRow("newer version") << QByteArray("2.2.1\n") << 0 << CleanerHelperStatus::outdated;
    QTest::newRow("says nothing") << QByteArray() << 0 << CleanerHelperStatus::outdated;
    QTest::newRow("rule file missing: sudo refuses")
        << QByteArray("sudo: a password is required\n") << 1 << CleanerHelperStatus::missing;
    QTest::newRow("current version but failing") << QByteArray("2.2.0\n") << 1 << CleanerHelperStatus::missing;
}

void TestCleanerHelper::statusProbe()
{
    QFETCH(QByteArray, output);
    QFETCH(int, exitStatus);
    QFETCH(CleanerHelperStatus, expected);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    createFile(mac.locations.helperPath);
    ScriptedSudo sudo;
    sudo.answerVersion(output, exitStatus);

    CleanerHelper helper;
    QSignalSpy changed(&helper, &CleanerHelper::statusChanged);
    QCOMPARE(QCoro::waitFor(helper.refreshStatus()), expected);
    QCOMPARE(helper.status(), expected);
    QCOMPARE(changed.count(), expected == CleanerHelperStatus::missing ? 0 : 1);
    QCOMPARE(sudo.calls(), (QList<QStringList>{{"-n", mac.locations.helperPath, "version"}}));
    QCOMPARE(readWholeFile(sudo.path(QStringLiteral("stdin.1"))).trimmed(), QByteArray("/dev/null"));
}

void TestCleanerHelper::statusProbeWithoutHelperFileAsksNobody()
{
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    ScriptedSudo sudo;
    sudo.answerVersion("2.2.0\n");
    CleanerHelper helper;
    QCOMPARE(QCoro::waitFor(helper.refreshStatus()), CleanerHelperStatus::missing);
    QVERIFY(sudo.calls().isEmpty());

    // sudo that cannot be started at all
    createFile(mac.locations.helperPath);
    sudo.locations().sudo = dir.filePath(QStringLiteral("no-sudo"));
    QCOMPARE(QCoro::waitFor(helper.refreshStatus()), CleanerHelperStatus::missing);
}

void TestCleanerHelper::installRunsOneCheckedCommand()
{
    platform::SystemLocations mac = platform::SystemLocations::macOS();
    platform::Service<platform::SystemLocations>::Override macLocations(mac);
    // A name that needs every layer of quoting on its way into the rule.
    LoginName login(QStringLiteral("o'hara \"x\" $HOME `id` \\"));
    QTemporaryDir dir;
    ScriptedSudo sudo;
    sudo.answerVersion("2.2.0\n");
    FakeAuthorization authorization;
    const QString script = CleanerHelper::makeScript();
    const QString sudoers = CleanerHelper::makeSudoers();
    authorization.otherwise([&](const QString&) {
        // From now on a helper file exists, so the status probe asks sudo.
        sudo.locations().helperPath = dir.filePath(QStringLiteral("installed-helper"));
        createFile(sudo.locations().helperPath);
        return PrivilegedAnswer::ok();
    });

    CleanerHelper helper;
    const Settled<void> result = settle(helper.install());
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    QCOMPARE(authorization.commands().size(), 1);
    QCOMPARE(helper.status(), CleanerHelperStatus::installed);

    // The fixed steps around the two texts, with the macOS tools, paths and group.
    const QString command = authorization.commands().first();
    QVERIFY(!command.contains(QLatin1Char('\n')));
    const QString head = QStringLiteral("( set -C; ");
    const QString digestCheck = QStringLiteral(" && { [ \"$(");
    const qsizetype from = command.indexOf(head) + head.size();
    const QString writes = command.mid(from, command.indexOf(digestCheck, from) - from);
    const QString expected =
        QStringLiteral(
            "/bin/mkdir -p /Library/PrivilegedHelperTools /private/etc/sudoers.d || exit 1; "
            "T=$(/usr/bin/mktemp -d '/private/tmp/TessarinHelper.XXXXXX') || exit 1; "
            "( set -C; %1 && "
            "{ [ \"$(/usr/bin/shasum -a 256 < \"$T/cleaner\")\" = '%2  -' ] && "
            "[ \"$(/usr/bin/shasum -a 256 < \"$T/sudoers\")\" = '%3  -' ] || "
            "{ echo 'ヘルパーの作業ファイルが作成時の内容と一致しません' >&2; exit 1; }; } && "
            "/usr/sbin/visudo -cf \"$T/sudoers\" >/dev/null && "
            "/usr/bin/install -o root -g wheel -m 755 \"$T/cleaner\" '/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner' && "
            "/usr/bin/install -o root -g wheel -m 440 \"$T/sudoers\" '/private/etc/sudoers.d/tessarin_cleaner' && "
            "{ /usr/sbin/visudo -c >/dev/null || { /bin/rm -f '/private/etc/sudoers.d/tessarin_cleaner'; exit 1; }; } ); "
            "S=$?; /bin/rm -rf \"$T\"; exit $S")
            .arg(writes, sha256(script), sha256(sudoers));
    QCOMPARE(command, expected);

    // The writes, run by a real shell with noclobber, produce exactly the two texts.
    QTemporaryDir target;
    platform::ProcessRequest shell;
    shell.program = QStringLiteral("/bin/sh");
    shell.arguments = {QStringLiteral("-c"), QStringLiteral("T=\"$1\"; set -C; ") + writes, QStringLiteral("sh"), target.path()};
    shell.nullInput = true;
    QCOMPARE(platform::runProcess(shell).exitStatus, 0);
    QCOMPARE(readWholeFile(target.filePath(QStringLiteral("cleaner"))), script.toUtf8());
    QCOMPARE(readWholeFile(target.filePath(QStringLiteral("sudoers"))), sudoers.toUtf8());
    QVERIFY(sudoers.contains(QStringLiteral("\"o'hara \\\"x\\\" $HOME `id` \\\\\" ALL=(root)")));
}

void TestCleanerHelper::installFailureKeepsStatus_data()
{
    QTest::addColumn<AuthError>("error");
    QTest::newRow("dialog dismissed") << AuthError::userCancelled();
    QTest::newRow("rule fails the syntax check")
        << AuthError::commandFailed(QStringLiteral("/tmp/x/sudoers:3:1: syntax error\n"));
}

void TestCleanerHelper::installFailureKeepsStatus()
{
    QFETCH(AuthError, error);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    ScriptedSudo sudo;
    FakeAuthorization authorization;
    authorization.failAll(error);

    CleanerHelper helper;
    const Settled<void> result = settle(helper.install());
    QCOMPARE(result.errorAs<AuthError>(), std::optional<AuthError>(error));
    QCOMPARE(authorization.commands().size(), 1);
    QVERIFY(sudo.calls().isEmpty());   // no refresh after a failed install
}

void TestCleanerHelper::installRefusesAKeywordLoginNameBeforeAnyDialog()
{
    LoginName login(QStringLiteral("ALL"));
    FakeAuthorization authorization;
    CleanerHelper helper;
    const Settled<void> result = settle(helper.install());
    const std::optional<HelperPreparationError> error = result.errorAs<HelperPreparationError>();
    QVERIFY(error);
    QCOMPARE(error->errorDescription(),
             QStringLiteral("ユーザー名「ALL」は sudoers のキーワードとして解釈されるため、ヘルパーをセットアップできません"));
    QVERIFY(authorization.commands().isEmpty());
}

void TestCleanerHelper::uninstallRemovesBothFiles()
{
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    mac.locations.helperPath = kMacHelper;
    ScriptedSudo sudo;
    FakeAuthorization authorization;
    CleanerHelper helper;
    const Settled<void> result = settle(helper.uninstall());
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
    QCOMPARE(authorization.commands(),
             QStringList{QStringLiteral("/bin/rm -f '/private/etc/sudoers.d/tessarin_cleaner' "
                                        "'/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner'")});
    QCOMPARE(helper.status(), CleanerHelperStatus::missing);

    authorization.failAll(AuthError::userCancelled());
    QCOMPARE(settle(helper.uninstall()).errorAs<AuthError>()->kind(), AuthError::Kind::userCancelled);
}

void TestCleanerHelper::uninstallOnLinuxUsesTheLinuxRuleFile()
{
#ifdef __APPLE__
    QSKIP("Linux locations");
#endif
    QCOMPARE(CleanerHelper::uninstallCommandLine(),
             QStringLiteral("/bin/rm -f '/etc/sudoers.d/tessarin_cleaner' "
                            "'/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner'"));
}

void TestCleanerHelper::runRequiresCurrentHelper_data()
{
    QTest::addColumn<bool>("helperFile");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<int>("versionStatus");
    QTest::newRow("missing") << false << QByteArray("2.2.0\n") << 0;
    QTest::newRow("refused by sudo") << true << QByteArray() << 1;
    QTest::newRow("outdated helper is not used") << true << QByteArray("2.0.0\n") << 0;
}

void TestCleanerHelper::runRequiresCurrentHelper()
{
    QFETCH(bool, helperFile);
    QFETCH(QByteArray, version);
    QFETCH(int, versionStatus);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    if (helperFile)
        createFile(mac.locations.helperPath);
    ScriptedSudo sudo;
    sudo.answerVersion(version, versionStatus);
    FakeAuthorization authorization;
    CleanerHelper helper;
    const Settled<QStringList> result = settle(helper.run(CleanerAction::purge(), QStringLiteral("メモリを解放します")));
    QCOMPARE(result.errorAs<CleanerError>(), std::optional<CleanerError>(CleanerError::notInstalled()));
    QVERIFY(authorization.authenticationReasons().isEmpty());
    QVERIFY(sudo.calls().size() <= 1);   // at most the probe
}

void TestCleanerHelper::runAuthenticationOutcomes_data()
{
    QTest::addColumn<BiometricResult>("authentication");
    QTest::addColumn<CleanerError>("error");
    QTest::newRow("cancelled") << BiometricResult::cancelled() << CleanerError::cancelled();
    QTest::newRow("unavailable") << BiometricResult::unavailable()
                                 << CleanerError::authFailed(QStringLiteral("このMacでは生体認証/パスワード認証が利用できません"));
    QTest::newRow("failed") << BiometricResult::failed(QStringLiteral("認証に失敗しました"))
                            << CleanerError::authFailed(QStringLiteral("認証に失敗しました"));
}

void TestCleanerHelper::runAuthenticationOutcomes()
{
    QFETCH(BiometricResult, authentication);
    QFETCH(CleanerError, error);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    createFile(mac.locations.helperPath);
    ScriptedSudo sudo;
    sudo.answerVersion("2.2.0\n");
    FakeAuthorization authorization;
    authorization.setBiometricResult(authentication);
    CleanerHelper helper;
    const Settled<QStringList> result =
        settle(helper.run(CleanerAction::clean({QStringLiteral("/Library/Caches")}), QStringLiteral("理由")));
    QCOMPARE(result.errorAs<CleanerError>(), std::optional<CleanerError>(error));
    QCOMPARE(authorization.authenticationReasons(), QStringList{QStringLiteral("理由")});
    QCOMPARE(sudo.calls().size(), 1);   // the probe only: the helper never ran
}

void TestCleanerHelper::runReturnsTheHelperLines_data()
{
    QTest::addColumn<CleanerAction>("action");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("failure");
    const CleanerAction clean = CleanerAction::clean({QStringLiteral("/Library/Caches"), QStringLiteral("/private/tmp/"),
                                                      QStringLiteral("/private/var/tmp")});
    QTest::newRow("clean") << clean
                           << QByteArray("CLEANED /Library/Caches\nDENIED /private/tmp/\n\nSKIP /private/var/tmp\n") << 0
                           << QStringList{"CLEANED /Library/Caches", "DENIED /private/tmp/", "SKIP /private/var/tmp"}
                           << QString();
    QTest::newRow("purge") << CleanerAction::purge() << QByteArray("PURGED\n") << 0 << QStringList{"PURGED"} << QString();
    QTest::newRow("silent exit 1") << clean << QByteArray() << 1 << QStringList() << QStringLiteral("exit 1");
    QTest::newRow("exit 64 with text") << CleanerAction::purge()
                                       << QByteArray("usage: x version | clean <dir>... | purge\n") << 64 << QStringList()
                                       << QStringLiteral("usage: x version | clean <dir>... | purge\n");
    QTest::newRow("sudo refuses") << clean << QByteArray("sudo: a password is required\n") << 1 << QStringList()
                                  << QStringLiteral("sudo: a password is required\n");
}

void TestCleanerHelper::runReturnsTheHelperLines()
{
    QFETCH(CleanerAction, action);
    QFETCH(QByteArray, output);
    QFETCH(int, exitStatus);
    QFETCH(QStringList, lines);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    createFile(mac.locations.helperPath);
    ScriptedSudo sudo;
    sudo.answerVersion("2.2.0\n");
    sudo.answerRun(output, exitStatus);
    FakeAuthorization authorization;
    CleanerHelper helper;
    const Settled<QStringList> result = settle(helper.run(action, QStringLiteral("reason")));
    if (failure.isEmpty()) {
        QVERIFY2(result.succeeded(), qPrintable(result.errorText()));
        QCOMPARE(*result.value, lines);
    } else {
        QCOMPARE(result.errorAs<CleanerError>(), std::optional<CleanerError>(CleanerError::execFailed(failure)));
    }
    QCOMPARE(sudo.calls().size(), 2);
    QCOMPARE(sudo.calls().at(1), QStringList({"-n", mac.locations.helperPath}) + action.arguments());
    QCOMPARE(readWholeFile(sudo.path(QStringLiteral("stdin.2"))).trimmed(), QByteArray("/dev/null"));
}

void TestCleanerHelper::fakeCleanerHelperScripts()
{
    FakeCleanerHelper fake;
    CleanerHelper& shared = CleanerHelper::shared();
    QCOMPARE(&shared, &fake);
    fake.setScriptedStatus(CleanerHelperStatus::outdated);
    QCOMPARE(QCoro::waitFor(shared.refreshStatus()), CleanerHelperStatus::outdated);
    QCOMPARE(shared.status(), CleanerHelperStatus::outdated);
    QVERIFY(settle(shared.install()).succeeded());
    QCOMPARE(shared.status(), CleanerHelperStatus::installed);
    fake.setRunLines({QStringLiteral("CLEANED /Library/Caches")});
    QCOMPARE(*settle(shared.run(CleanerAction::clean({QStringLiteral("/Library/Caches")}), QStringLiteral("r"))).value,
             QStringList{"CLEANED /Library/Caches"});
    fake.setRunError(CleanerError::cancelled());
    QCOMPARE(*settle(shared.run(CleanerAction::purge(), QStringLiteral("p"))).errorAs<CleanerError>(), CleanerError::cancelled());
    QCOMPARE(fake.actions(), (QList<CleanerAction>{CleanerAction::clean({QStringLiteral("/Library/Caches")}), CleanerAction::purge()}));
    QCOMPARE(fake.reasons(), (QStringList{"r", "p"}));
}

QTEST_GUILESS_MAIN(TestCleanerHelper)
#include "tst_cleanerhelper.moc"
