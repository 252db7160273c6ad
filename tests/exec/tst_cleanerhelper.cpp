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
    void sudoersRule_data();
    void sudoersRule();
    void statusProbe_data();
    void statusProbe();
    void installRunsOneCheckedCommand();
    void installFailureKeepsStatus_data();
    void installFailureKeepsStatus();
    void installRefusesAKeywordLoginNameBeforeAnyDialog();
    void uninstallRemovesBothFiles();
    void run_data();
    void run();
};

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

void TestCleanerHelper::statusProbe_data()
{
    QTest::addColumn<bool>("helperFile");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<CleanerHelperStatus>("expected");
    QTest::newRow("current version with a newline") << true << QByteArray("2.2.0\n") << 0 << CleanerHelperStatus::installed;
    QTest::newRow("current version padded") << true << QByteArray("  2.2.0 \n\n") << 0 << CleanerHelperStatus::installed;
    QTest::newRow("older version") << true << QByteArray("2.1.0\n") << 0 << CleanerHelperStatus::outdated;
    QTest::newRow("newer version") << true << QByteArray("2.2.1\n") << 0 << CleanerHelperStatus::outdated;
    QTest::newRow("says nothing") << true << QByteArray() << 0 << CleanerHelperStatus::outdated;
    QTest::newRow("rule file missing: sudo refuses")
        << true << QByteArray("sudo: a password is required\n") << 1 << CleanerHelperStatus::missing;
    QTest::newRow("current version but failing") << true << QByteArray("2.2.0\n") << 1 << CleanerHelperStatus::missing;
    QTest::newRow("no helper file: nobody asked") << false << QByteArray("2.2.0\n") << 0 << CleanerHelperStatus::missing;
    QTest::newRow("sudo cannot be started") << true << QByteArray("no sudo") << 0 << CleanerHelperStatus::missing;
}

void TestCleanerHelper::statusProbe()
{
    QFETCH(bool, helperFile);
    QFETCH(QByteArray, output);
    QFETCH(int, exitStatus);
    QFETCH(CleanerHelperStatus, expected);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    if (helperFile)
        createFile(mac.locations.helperPath);
    ScriptedSudo sudo;
    sudo.answerVersion(output, exitStatus);
    if (output == "no sudo")
        sudo.locations().sudo = dir.filePath(QStringLiteral("no-sudo"));

    CleanerHelper helper;
    QSignalSpy changed(&helper, &CleanerHelper::statusChanged);
    QCOMPARE(QCoro::waitFor(helper.refreshStatus()), expected);
    QCOMPARE(helper.status(), expected);
    QCOMPARE(changed.count(), expected == CleanerHelperStatus::missing ? 0 : 1);
    if (!helperFile || output == "no sudo") {
        QVERIFY(sudo.calls().isEmpty());
        return;
    }
    QCOMPARE(sudo.calls(), (QList<QStringList>{{"-n", mac.locations.helperPath, "version"}}));
    QCOMPARE(readWholeFile(sudo.path(QStringLiteral("stdin.1"))).trimmed(), QByteArray("/dev/null"));
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

    // The directories root may empty through the helper: widening this list widens what root deletes.
    QCOMPARE(CleanerHelper::allowedPaths(), (QStringList{"/private/tmp", "/private/var/tmp", "/Library/Caches", "/Library/Logs",
                                                         "/opt/homebrew/var/cache", "/usr/local/var/cache"}));
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
#ifndef __APPLE__
    platform::Service<platform::SystemLocations>::Override onLinux(platform::SystemLocations::systemDefault());
    QCOMPARE(CleanerHelper::uninstallCommandLine(),
             QStringLiteral("/bin/rm -f '/etc/sudoers.d/tessarin_cleaner' '") + kMacHelper + QLatin1Char('\''));
#endif
}

void TestCleanerHelper::run_data()
{
    // The helper's presence and version, the owner authentication, what the helper answers,
    // and what run() gives: lines, or the error; `ran` tells whether the helper was run.
    QTest::addColumn<bool>("helperFile");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<BiometricResult>("authentication");
    QTest::addColumn<CleanerAction>("action");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<std::optional<CleanerError>>("error");
    const BiometricResult ok = BiometricResult::success();
    const CleanerAction purge = CleanerAction::purge();
    const CleanerAction clean = CleanerAction::clean({QStringLiteral("/Library/Caches"), QStringLiteral("/private/tmp/"),
                                                      QStringLiteral("/private/var/tmp")});
    const QStringList cleanArguments{"clean", "/Library/Caches", "/private/tmp/", "/private/var/tmp"};
    const QByteArray current("2.2.0\n");
    const auto fails = [](const CleanerError& e) { return std::optional<CleanerError>(e); };
    QTest::newRow("clean") << true << current << ok << clean << cleanArguments
                           << QByteArray("CLEANED /Library/Caches\nDENIED /private/tmp/\n\nSKIP /private/var/tmp\n") << 0
                           << QStringList{"CLEANED /Library/Caches", "DENIED /private/tmp/", "SKIP /private/var/tmp"}
                           << std::optional<CleanerError>();
    QTest::newRow("purge") << true << current << ok << purge << QStringList{"purge"} << QByteArray("PURGED\n") << 0
                           << QStringList{"PURGED"} << std::optional<CleanerError>();
    QTest::newRow("silent exit 1") << true << current << ok << clean << cleanArguments << QByteArray() << 1 << QStringList()
                                   << fails(CleanerError::execFailed(QStringLiteral("exit 1")));
    QTest::newRow("exit 64 with text") << true << current << ok << purge << QStringList{"purge"}
                                       << QByteArray("usage: x version | clean <dir>... | purge\n") << 64 << QStringList()
                                       << fails(CleanerError::execFailed(QStringLiteral("usage: x version | clean <dir>... | purge\n")));
    QTest::newRow("sudo refuses") << true << current << ok << clean << cleanArguments
                                  << QByteArray("sudo: a password is required\n") << 1 << QStringList()
                                  << fails(CleanerError::execFailed(QStringLiteral("sudo: a password is required\n")));
    const auto notRun = [&](const char* name, bool helperFile, const QByteArray& version, const BiometricResult& auth,
                            const CleanerError& error) {
        QTest::newRow(name) << helperFile << version << auth << purge << QStringList() << QByteArray() << 0 << QStringList()
                            << fails(error);
    };
    notRun("missing", false, current, ok, CleanerError::notInstalled());
    notRun("refused by sudo", true, QByteArray(), ok, CleanerError::notInstalled());
    notRun("outdated helper is not used", true, "2.0.0\n", ok, CleanerError::notInstalled());
    notRun("authentication cancelled", true, current, BiometricResult::cancelled(), CleanerError::cancelled());
    notRun("authentication unavailable", true, current, BiometricResult::unavailable(),
           CleanerError::authFailed(QStringLiteral("このMacでは生体認証/パスワード認証が利用できません")));
    notRun("authentication failed", true, current, BiometricResult::failed(QStringLiteral("認証に失敗しました")),
           CleanerError::authFailed(QStringLiteral("認証に失敗しました")));
}

void TestCleanerHelper::run()
{
    QFETCH(bool, helperFile);
    QFETCH(QByteArray, version);
    QFETCH(BiometricResult, authentication);
    QFETCH(CleanerAction, action);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, output);
    QFETCH(int, exitStatus);
    QFETCH(std::optional<CleanerError>, error);
    QTemporaryDir dir;
    MacLocationsWithHelperIn mac(dir.path());
    if (helperFile)
        createFile(mac.locations.helperPath);
    ScriptedSudo sudo;
    sudo.answerVersion(version, version.isEmpty() ? 1 : 0);
    sudo.answerRun(output, exitStatus);
    FakeAuthorization authorization;
    authorization.setBiometricResult(authentication);
    CleanerHelper helper;
    const Settled<QStringList> result = settle(helper.run(action, QStringLiteral("理由")));
    QCOMPARE(result.errorAs<CleanerError>(), error);
    if (!error)
        QTEST(*result.value, "lines");
    const bool probed = helperFile;
    const bool authenticated = probed && version == "2.2.0\n";
    QCOMPARE(authorization.authenticationReasons(), authenticated ? QStringList{QStringLiteral("理由")} : QStringList());
    QCOMPARE(sudo.calls().size(), int(probed) + int(!arguments.isEmpty()));
    if (arguments.isEmpty())
        return;
    QCOMPARE(sudo.calls().at(1), QStringList({"-n", mac.locations.helperPath}) + arguments);
    QCOMPARE(readWholeFile(sudo.path(QStringLiteral("stdin.2"))).trimmed(), QByteArray("/dev/null"));
}

QTEST_GUILESS_MAIN(TestCleanerHelper)
#include "tst_cleanerhelper.moc"
