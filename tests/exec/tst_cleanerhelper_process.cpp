// The cleanup helper for real: its script run by sh on temporary directories, its rule
// checked by the real visudo, and install / uninstall / run carried out as root (the
// tests run as root) with every target redirected into a temporary directory.
#include "exec/CleanerHelper.h"
#include "platform/OwnerAuthentication.h"
#include "platform/Process.h"
#include "platform/SystemLocations.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    QByteArray out;
    QByteArray err;
    int status = -1;
};

Run runSh(const QString& script, const QStringList& arguments)
{
    platform::ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = QStringList{script} + arguments;
    request.nullInput = true;
    const platform::ProcessOutcome outcome = platform::runProcess(request);
    return {outcome.standardOutput, outcome.standardError, outcome.exitStatus};
}

void makeFile(const QString& path, const QByteArray& bytes = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString mismatchText()
{
    return QStringLiteral("ヘルパーの作業ファイルが作成時の内容と一致しません");
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class RootOwnerAuthentication final : public platform::OwnerAuthentication {
public:
    bool canUseBiometrics() const override { return false; }
    bool canEvaluateOwnerPolicy() const override { return true; }
    QCoro::Task<platform::OwnerAuthenticationReply> evaluateOwnerPolicy(QString, QString) override
    {
        co_return platform::OwnerAuthenticationReply{platform::OwnerAuthenticationReply::Outcome::success, {}};
    }

private:
    platform::Service<platform::OwnerAuthentication>::Override override_{*this};
};

// Everything install() touches, inside one temporary directory: the system's temporary
// directory, the helper and rule directories, a recording visudo that fails on request,
// the real stand-in script runner behind a recorder that may alter the script it was handed
// first, and a sudo that runs the helper directly.
class InstallWorld {
public:
    explicit InstallWorld(const QByteArray& tamper = QByteArray())
        : runner_(tamper, true)
    {
        QDir().mkpath(tmp_.filePath(QStringLiteral("system-tmp")));
        platform::SystemLocations& l = runner_.locations();
        l.systemTemporaryDirectory = tmp_.filePath(QStringLiteral("system-tmp"));
        l.helperDirectory = tmp_.filePath(QStringLiteral("PrivilegedHelperTools"));
        l.helperPath = l.helperDirectory + QStringLiteral("/com.orvelle.Tessarin.cleaner");
        l.sudoersDirectory = tmp_.filePath(QStringLiteral("sudoers.d"));
        l.sudoersRuleFile = l.sudoersDirectory + QStringLiteral("/tessarin_cleaner");
        l.helperGroup = QStringLiteral("root");
        l.sha256 = QStringLiteral("/usr/bin/sha256sum");
        l.visudo = tmp_.filePath(QStringLiteral("visudo"));
        writeExecutableFile(l.visudo,
                            "#!/bin/sh\n"
                            "D='" + QFile::encodeName(tmp_.path()) + "'\n"
                            "echo \"$*\" >> \"$D/visudo.log\"\n"
                            "if [ \"$1\" = -cf ]; then\n"
                            "  [ -f \"$D/fail-file\" ] && { echo \"$2:3:1: syntax error\" >&2; exit 1; }\n"
                            "  exec /usr/sbin/visudo -cf \"$2\"\n"
                            "fi\n"
                            "[ \"$1\" = -c ] && [ -f \"$D/fail-all\" ] && { echo 'sudoers: parse error in /etc/sudoers' >&2; exit 1; }\n"
                            "exit 0\n");
        sudo_ = std::make_unique<ScriptedSudo>(true);
    }

    const platform::SystemLocations& locations() const { return platform::SystemLocations::shared(); }
    QString path(const QString& name) const { return tmp_.filePath(name); }
    // What root left in the system's temporary directory.
    QStringList staged() const { return entries(tmp_.filePath(QStringLiteral("system-tmp"))); }
    void failVisudo(const QString& which) { makeFile(tmp_.filePath(which)); }
    void setSha256(const QString& command) { sudo_->locations().sha256 = command; }
    ScriptedScriptRunner& runner() { return runner_; }

private:
    QTemporaryDir tmp_;
    ScriptedScriptRunner runner_;
    std::unique_ptr<ScriptedSudo> sudo_;
    RootOwnerAuthentication authentication_;
};

} // namespace

class TestCleanerHelperProcess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void realScriptIsValidShell();
    void versionAndUsage_data();
    void versionAndUsage();
    void cleansAllowedDirectories();
    void deniesAndSkips();
    void refusesRedirectionThroughLinks();
    void purge();
    void realRuleChecksClean_data();
    void realRuleChecksClean();
    void installsExactlyTheGeneratedFiles();
    void failedInstallLeavesNothing_data();
    void failedInstallLeavesNothing();
    void uninstallAndRunThroughTheInstalledHelper();

private:
    QTemporaryDir dir_;
    QString script_;
    QString allowedA_, allowedB_, missingAllowed_, outside_, purgeLog_;
};

void TestCleanerHelperProcess::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("installing and running the helper needs root");
}

void TestCleanerHelperProcess::init()
{
    QVERIFY(dir_.isValid());
    const QString base = QDir(dir_.path()).canonicalPath() + QStringLiteral("/%1").arg(QTest::currentTestFunction());
    allowedA_ = base + QStringLiteral("/allowed-a");
    allowedB_ = base + QStringLiteral("/var/allowed b");
    missingAllowed_ = base + QStringLiteral("/never-created");
    outside_ = base + QStringLiteral("/outside");
    purgeLog_ = base + QStringLiteral("/purge.log");
    QDir().mkpath(allowedA_);
    QDir().mkpath(allowedB_);
    QDir().mkpath(outside_);
    const QString purge = base + QStringLiteral("/purge");
    writeExecutableFile(purge, "#!/bin/sh\necho run >> '" + QFile::encodeName(purgeLog_) + "'\n"
                               "[ -f '" + QFile::encodeName(base) + "/purge-fails' ] && exit 1\nexit 0\n");
    script_ = base + QStringLiteral("/cleaner");
    makeFile(script_, CleanerHelper::makeScript({allowedA_, allowedB_, missingAllowed_}, purge).toUtf8());
}

void TestCleanerHelperProcess::realScriptIsValidShell()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cleaner"));
    makeFile(path, CleanerHelper::makeScript().toUtf8());
    platform::ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-n"), path};
    QCOMPARE(platform::runProcess(request).exitStatus, 0);
    const Run version = runSh(path, {QStringLiteral("version")});
    QCOMPARE(version.out, QByteArray("2.2.0\n"));
    // Refused before anything is looked at: trailing slash, subdirectory, elsewhere.
    const Run denied = runSh(path, {QStringLiteral("clean"), QStringLiteral("/private/tmp/"),
                                    QStringLiteral("/Library/Caches/com.apple"), QStringLiteral("/etc")});
    QCOMPARE(denied.out, QByteArray("DENIED /private/tmp/\nDENIED /Library/Caches/com.apple\nDENIED /etc\n"));
    QCOMPARE(denied.status, 0);
}

void TestCleanerHelperProcess::versionAndUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<bool>("usage");
    QTest::addColumn<int>("status");
    QTest::newRow("version") << QStringList{"version"} << QByteArray("2.2.0\n") << false << 0;
    QTest::newRow("no arguments") << QStringList() << QByteArray() << true << 64;
    QTest::newRow("unknown") << QStringList{"delete", "/"} << QByteArray() << true << 64;
    QTest::newRow("empty argument") << QStringList{""} << QByteArray() << true << 64;
    QTest::newRow("clean nothing") << QStringList{"clean"} << QByteArray() << false << 0;
}

void TestCleanerHelperProcess::versionAndUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, out);
    QFETCH(bool, usage);
    QFETCH(int, status);
    const Run run = runSh(script_, arguments);
    QCOMPARE(run.out, out);
    QCOMPARE(run.status, status);
    if (usage)
        QCOMPARE(run.err, QByteArray("usage: " + QFile::encodeName(script_) + " version | clean <dir>... | purge\n"));
    else
        QCOMPARE(run.err, QByteArray());
}

void TestCleanerHelperProcess::cleansAllowedDirectories()
{
    makeFile(allowedA_ + QStringLiteral("/file"));
    makeFile(allowedA_ + QStringLiteral("/.hidden"));
    makeFile(allowedA_ + QStringLiteral("/deep/er/file"));
    makeFile(allowedA_ + QStringLiteral("/-rf"));
    makeFile(allowedA_ + QStringLiteral("/with space ' \" $x"));
    makeFile(outside_ + QStringLiteral("/keep"));
    QVERIFY(QFile::link(outside_, allowedA_ + QStringLiteral("/link-to-outside")));
    makeFile(allowedB_ + QStringLiteral("/.only-hidden"));
    QVERIFY(QFile::setPermissions(allowedA_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                 | QFileDevice::ReadOther | QFileDevice::ExeOther));

    const Run run = runSh(script_, {QStringLiteral("clean"), allowedA_, allowedB_});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("CLEANED " + QFile::encodeName(allowedA_) + "\nCLEANED " + QFile::encodeName(allowedB_) + "\n"));
    QCOMPARE(entries(allowedA_), QStringList());
    QCOMPARE(entries(allowedB_), QStringList());
    QVERIFY(QFileInfo(allowedA_).isDir());    // the directory itself stays, with its mode
    QCOMPARE(QFileInfo(allowedA_).permissions() & QFileDevice::ExeOther, QFileDevice::ExeOther);
    QCOMPARE(entries(outside_), QStringList{"keep"});   // the link went, not what it pointed to

    // An empty allowed directory is cleaned again without complaint.
    QCOMPARE(runSh(script_, {QStringLiteral("clean"), allowedA_}).out, QByteArray("CLEANED " + QFile::encodeName(allowedA_) + "\n"));
}

void TestCleanerHelperProcess::deniesAndSkips()
{
    makeFile(allowedA_ + QStringLiteral("/sub/file"));
    makeFile(outside_ + QStringLiteral("/keep"));
    const QStringList targets = {allowedA_ + QLatin1Char('/'), allowedA_ + QStringLiteral("/sub"), outside_,
                                 missingAllowed_, allowedA_ + QStringLiteral("/."), QStringLiteral("/"),
                                 QString(), allowedA_ + QStringLiteral("*")};
    const Run run = runSh(script_, QStringList{QStringLiteral("clean")} + targets);
    QCOMPARE(run.status, 0);
    QByteArray expected;
    for (const QString& target : targets) {
        const QByteArray word = target == missingAllowed_ ? "SKIP " : "DENIED ";
        expected += word + QFile::encodeName(target) + "\n";
    }
    QCOMPARE(run.out, expected);
    QCOMPARE(entries(allowedA_ + QStringLiteral("/sub")), QStringList{"file"});
    QCOMPARE(entries(outside_), QStringList{"keep"});

    // An allowed path that is a file, not a directory.
    QDir(missingAllowed_).removeRecursively();
    makeFile(missingAllowed_);
    QCOMPARE(runSh(script_, {QStringLiteral("clean"), missingAllowed_}).out, QByteArray("SKIP " + QFile::encodeName(missingAllowed_) + "\n"));
    QVERIFY(QFileInfo(missingAllowed_).isFile());
}

void TestCleanerHelperProcess::refusesRedirectionThroughLinks()
{
    makeFile(outside_ + QStringLiteral("/keep"));
    // The allowed path itself is a link to another directory.
    QDir(allowedA_).removeRecursively();
    QVERIFY(QFile::link(outside_, allowedA_));
    // A directory higher up in an allowed path is a link: the path resolves elsewhere.
    const QString varDir = QFileInfo(allowedB_).path();
    QDir(varDir).removeRecursively();
    const QString elsewhere = outside_ + QStringLiteral("/var");
    makeFile(elsewhere + QStringLiteral("/allowed b/precious"));
    QVERIFY(QFile::link(elsewhere, varDir));
    QVERIFY(QFileInfo(allowedB_).isDir());

    const Run run = runSh(script_, {QStringLiteral("clean"), allowedA_, allowedB_});
    QCOMPARE(run.out, QByteArray("DENIED " + QFile::encodeName(allowedA_) + "\nDENIED " + QFile::encodeName(allowedB_) + "\n"));
    QCOMPARE(entries(outside_), (QStringList{"keep", "var"}));
    QCOMPARE(entries(elsewhere + QStringLiteral("/allowed b")), QStringList{"precious"});
}

void TestCleanerHelperProcess::purge()
{
    const Run ok = runSh(script_, {QStringLiteral("purge")});
    QCOMPARE(ok.out, QByteArray("PURGED\n"));
    QCOMPARE(ok.status, 0);
    makeFile(QFileInfo(purgeLog_).path() + QStringLiteral("/purge-fails"));
    const Run failed = runSh(script_, {QStringLiteral("purge")});
    QCOMPARE(failed.out, QByteArray());
    QCOMPARE(failed.status, 0);
    QCOMPARE(readWholeFile(purgeLog_), QByteArray("run\nrun\n"));
}

void TestCleanerHelperProcess::realRuleChecksClean_data()
{
    QTest::addColumn<QString>("user");
    QTest::newRow("plain") << QStringLiteral("sorami");
    QTest::newRow("dots and digits") << QStringLiteral("so.rami2");
    QTest::newRow("blank") << QStringLiteral("Sorami Shiro");
    QTest::newRow("quote and backslash") << QStringLiteral("a\"b\\c");
    QTest::newRow("list syntax") << QStringLiteral("a,b ALL=(ALL) ALL");
}

void TestCleanerHelperProcess::realRuleChecksClean()
{
    QFETCH(QString, user);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sudoers"));
    makeFile(path, CleanerHelper::makeSudoers(user).toUtf8());
    platform::ProcessRequest request;
    request.program = QStringLiteral("/usr/sbin/visudo");
    request.arguments = {QStringLiteral("-cf"), path};
    request.nullInput = true;
    request.mergeOutput = true;
    const platform::ProcessOutcome outcome = platform::runProcess(request);
    QVERIFY2(outcome.exitStatus == 0, outcome.standardOutput.constData());
}

void TestCleanerHelperProcess::installsExactlyTheGeneratedFiles()
{
    InstallWorld world;
    const platform::SystemLocations& l = world.locations();
    CleanerHelper helper;
    const Settled<void> result = settle(helper.install());
    QVERIFY2(result.succeeded(), qPrintable(result.errorText()));

    QCOMPARE(readWholeFile(l.helperPath), CleanerHelper::makeScript().toUtf8());
    QCOMPARE(readWholeFile(l.sudoersRuleFile), CleanerHelper::makeSudoers().toUtf8());
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(l.helperPath).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0755));
    QCOMPARE(st.st_uid, uid_t(0));
    QCOMPARE(::stat(QFile::encodeName(l.sudoersRuleFile).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0440));
    QCOMPARE(helper.status(), CleanerHelperStatus::installed);
    QCOMPARE(world.staged(), QStringList());
    const QByteArray visudo = readWholeFile(world.path(QStringLiteral("visudo.log")));
    QVERIFY(visudo.startsWith("-cf " + QFile::encodeName(world.path(QStringLiteral("system-tmp"))) + "/TessarinHelper."));
    QVERIFY(visudo.endsWith("/sudoers\n-c\n"));

    // Installing again overwrites both files (checked with the macOS digest tool where present).
    if (QFileInfo(QStringLiteral("/usr/bin/shasum")).isExecutable())
        world.setSha256(QStringLiteral("/usr/bin/shasum -a 256"));
    makeFile(l.helperPath, "#!/bin/sh\necho 1.0.0\n");
    QCOMPARE(QCoro::waitFor(helper.refreshStatus()), CleanerHelperStatus::outdated);
    QVERIFY(settle(helper.install()).succeeded());
    QCOMPARE(readWholeFile(l.helperPath), CleanerHelper::makeScript().toUtf8());
    QCOMPARE(helper.status(), CleanerHelperStatus::installed);
}

void TestCleanerHelperProcess::failedInstallLeavesNothing_data()
{
    QTest::addColumn<QByteArray>("tamper");      // shell code the recorder runs before the real runner reads the script
    QTest::addColumn<QString>("failVisudo");     // "fail-file": the rule fails its check; "fail-all": the system's does
    QTest::addColumn<QString>("error");          // part of the failure's message; "" for a dismissed dialog
    const QString mismatch = mismatchText();
    QTest::newRow("script altered on the way")
        << QByteArray("sed -i 's/HELPER_VERSION=/HELPER_VERSION=1/' \"$D/script.$n\"\n") << QString() << mismatch;
    QTest::newRow("rule widened on the way")
        << QByteArray("sed -i 's/NOPASSWD: /NOPASSWD: ALL, /' \"$D/script.$n\"\n") << QString() << mismatch;
    QTest::newRow("rule fails the check") << QByteArray() << QStringLiteral("fail-file") << QStringLiteral("sudoers:3:1: syntax error");
    QTest::newRow("system configuration broken: the rule is removed again")
        << QByteArray() << QStringLiteral("fail-all") << QStringLiteral("sudoers: parse error");
    // The recorder answers as a dismissed dialog and never hands the script on.
    QTest::newRow("dialog dismissed") << QByteArray("echo 'execution error: User canceled. (-128)' >&2; exit 1\n") << QString()
                                      << QString();
}

void TestCleanerHelperProcess::failedInstallLeavesNothing()
{
    QFETCH(QByteArray, tamper);
    QFETCH(QString, failVisudo);
    QFETCH(QString, error);
    InstallWorld world(tamper);
    if (!failVisudo.isEmpty())
        world.failVisudo(failVisudo);
    const platform::SystemLocations& l = world.locations();
    CleanerHelper helper;
    const std::optional<AuthError> failure = settle(helper.install()).errorAs<AuthError>();
    QVERIFY(failure);
    if (error.isEmpty()) {
        QCOMPARE(*failure, AuthError::userCancelled());
        QCOMPARE(world.runner().scripts().size(), 1);
    } else {
        QCOMPARE(failure->kind(), AuthError::Kind::commandFailed);
        QVERIFY2(failure->message().contains(error), qPrintable(failure->message()));
    }
    // A broken system configuration is found after both files are in place; the rule goes again.
    QCOMPARE(QFileInfo::exists(l.helperPath), failVisudo == QLatin1String("fail-all"));
    QVERIFY(!QFileInfo::exists(l.sudoersRuleFile));
    QCOMPARE(world.staged(), QStringList());
    QCOMPARE(helper.status(), CleanerHelperStatus::missing);
    if (error == mismatchText())
        QVERIFY(!QFileInfo::exists(world.path(QStringLiteral("visudo.log"))));   // nothing checked, nothing installed
}

void TestCleanerHelperProcess::uninstallAndRunThroughTheInstalledHelper()
{
    InstallWorld world;
    const platform::SystemLocations& l = world.locations();
    CleanerHelper helper;
    QVERIFY(settle(helper.install()).succeeded());

    const Settled<QStringList> denied =
        settle(helper.run(CleanerAction::clean({QStringLiteral("/etc"), QStringLiteral("/private/tmp/")}), QStringLiteral("r")));
    QVERIFY2(denied.succeeded(), qPrintable(denied.errorText()));
    QCOMPARE(*denied.value, (QStringList{"DENIED /etc", "DENIED /private/tmp/"}));

    // A helper that prints nothing and fails.
    makeFile(l.helperPath, "#!/bin/sh\n[ \"$1\" = version ] && { echo 2.2.0; exit 0; }\nexit 1\n");
    const Settled<QStringList> silent = settle(helper.run(CleanerAction::purge(), QStringLiteral("r")));
    QCOMPARE(silent.errorAs<CleanerError>(), std::optional<CleanerError>(CleanerError::execFailed(QStringLiteral("exit 1"))));

    QVERIFY(settle(helper.uninstall()).succeeded());
    QVERIFY(!QFileInfo::exists(l.helperPath));
    QVERIFY(!QFileInfo::exists(l.sudoersRuleFile));
    QCOMPARE(helper.status(), CleanerHelperStatus::missing);
}

QTEST_GUILESS_MAIN(TestCleanerHelperProcess)
#include "tst_cleanerhelper_process.moc"
