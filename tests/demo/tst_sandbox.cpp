// End to end inside the demo sandbox (scripts/mac-sandbox.sh, a fresh tree per row): the
// screens' models run the real command lines, script runner, sudo and helper against the
// generated Mac; the whole tree is listed before and after, so touching anything else fails.
#include "cleanup/CacheModel.h"
#include "cleanup/IntelAppsModel.h"
#include "cleanup/UninstallerModel.h"
#include "backup/BackupModel.h"
#include "diagnostics/StartupItemsModel.h"
#include "exec/Quote.h"
#include "installer/InstallerModel.h"
#include "platform/StandIns.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/FlatPackage.h"
#include "support/LoopbackServer.h"

#include <QDirIterator>
#include <QtTest>

#include <functional>

namespace {

const QString home = QDir::homePath();

// path -> "dir", "link" or the size; links are never followed.
QMap<QString, QString> listTree()
{
    QMap<QString, QString> tree;
    for (const char* top : {"/Applications", "/System", "/Library", "/Users", "/Volumes", "/private", "/opt"})
        for (QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories); it.hasNext();) {
            const QFileInfo info(it.next());
            tree.insert(info.filePath(), info.isSymLink() ? "link" : info.isDir() ? "dir" : QString::number(info.size()));
        }
    return tree;
}

bool under(const QString& path, const QStringList& prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& p) { return path.startsWith(p); });
}

// The generated applications' leftovers ("Name:bundle id"), "/Applications/" prepended to bare bundles.
QStringList targets(const QStringList& apps)
{
    QStringList paths;
    for (const QString& app : apps) {
        const QString name = app.section(':', 0, 0), id = app.section(':', 1), lib = home + "/Library/";
        paths << (id.isEmpty() ? (name.startsWith('/') ? name : "/Applications/" + name)
                               : QStringList{lib + "Application Support/" + name, lib + "Caches/" + id, lib + "Preferences/" + id + ".plist",
                                             lib + "Saved Application State/" + id + ".savedState", lib + "Containers/" + id}.join('\n'));
    }
    return paths.join('\n').split('\n');
}

const QStringList intelOnly = targets({"Legacy Mixer.app", "Old Scanner.app", "Classic Draw.app", "Quote's Tool.app", "$(touch pwned).app",
                                       "-dash.app", home + "/Applications/Pocket Timer.app", "Legacy Mixer:com.orvelle.demo.mixer",
                                       "Old Scanner:com.orvelle.demo.scanner", "Quote's Tool:com.orvelle.demo.quote",
                                       "Pocket Timer:com.orvelle.demo.timer", "/Library/Preferences/com.orvelle.demo.mixer.plist"});
const QStringList cacheContents{"/Library/Caches/", "/Library/Logs/", "/private/tmp/", "/private/var/tmp/", "/opt/homebrew/var/cache/",
                                home + "/Library/Caches/", home + "/Library/Logs/", home + "/Library/Developer/Xcode/DerivedData/",
                                home + "/.Trash/", QDir::tempPath() + "/"};

struct Row {
    std::function<QStringList()> act;   // runs the screen's operation, returns its log
    QStringList gone;                   // prefixes whose entries must all go, and nothing else
    QStringList appear;                 // prefixes where entries may appear, change or go
    QStringList expect;                 // lines the log must hold
    QString never = "\n";              // a start no line of the log may have
};

QStringList cleanCaches(PrivilegeMode mode)
{
    // The sandbox's pkexec asks by itself; owner authentication only wants a session to exist.
    qputenv("WAYLAND_DISPLAY", "sandbox");
    auto model = std::make_shared<CacheModel>();
    settle(mode == PrivilegeMode::touchID ? model->setupAndClean() : model->clean(mode));
    return model->log();
}

// Switches off a launch agent of the user's own (as the user) and a launch daemon (as root);
// the banners join the log.
QStringList switchOffJobs()
{
    BannerMessages banner;
    auto model = std::make_shared<StartupItemsModel>();
    settle(model->load());
    QStringList log;
    for (const StartupItem& item : model->items())
        if (item.name.startsWith("com.orvelle.demo.helper") || item.name.startsWith("com.orvelle.demo.daemon")) {
            model->toggle(item, false);
            log += banner.takeWhenCome();
        }
    return log;
}

// The user's Library into a new folder on a volume, read back with tar.
QStringList backUpLibrary()
{
    QDir().mkpath("/Volumes/Backup");
    auto model = std::make_shared<BackupModel>();
    model->setSourcePath(home + "/Library");
    model->setDestinationPath("/Volumes/Backup");
    settle(model->runCustomBackup());
    const QString archive = "/Volumes/Backup/backup-" + QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(10) + ".tar.gz";
    return model->log() + Shell::run("tar -tzf " + Quote::singleQuoted(archive)).output.split('\n');
}

// A package served from 127.0.0.1, downloaded by the user and expanded into /Applications by root.
QStringList downloadAndExpand()
{
    QTemporaryDir served(QDir::tempPath() + "/served-XXXXXX"), work(QDir::tempPath() + "/served-XXXXXX");
    if (!makeFlatPackage(work.path(), served.path() + "/InstallAssistant.pkg"))
        return {"cannot make the package"};
    LoopbackServer server(served.path());
    MacOSVersion version;
    version.name = "macOS Demo";
    version.version = "15.7";
    version.pkgURL = server.url("InstallAssistant.pkg");
    BannerMessages banner;
    auto model = InstallerModel::create();
    settle(model->downloadInstaller(version));
    QStringList log = model->downloadLog() + banner.take();
    if (QFileInfo("/Applications/Install macOS Test.app/Contents/Info.plist").isFile())
        log << "expanded into /Applications";
    return log;
}

// The demo installer's media written onto the sandbox's USB stick (/dev/disk4) by root.
QStringList writeUSBStick()
{
    auto model = InstallerModel::create();
    settle(model->refreshDisks());
    if (model->availableDisks().size() != 1)
        return {"disks listed: " + QString::number(model->availableDisks().size())};
    model->selectDisk(model->availableDisks().first().id);
    settle(model->createUSB());
    return model->downloadLog();
}

QStringList removeIntelOnly(RemovalMethod method)
{
    auto model = IntelAppsModel::create();
    settle(model->scan());
    model->setRemovalMethod(method);
    model->setAllSelected(true);
    settle(model->removeSelected());
    return model->log();
}

} // namespace

Q_DECLARE_METATYPE(Row)

class SandboxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet("TESSARIN_SANDBOX_UNAVAILABLE"))
            QSKIP(qPrintable("the demo sandbox cannot start: " + qEnvironmentVariable("TESSARIN_SANDBOX_UNAVAILABLE")));
        if (qEnvironmentVariable("TESSARIN_SANDBOX") != "1" || !home.startsWith("/Users/"))
            QSKIP("not inside the demo sandbox: run through scripts/mac-sandbox.sh");
        platform::installStandInPath();
    }

    void endToEnd_data()
    {
        QTest::addColumn<Row>("row");
        QTest::newRow("caches_password") << Row{[] { return cleanCaches(PrivilegeMode::password); }, cacheContents, {}, {"🎉 クリーンアップ完了！"}};
        QTest::newRow("caches_cancelled") << Row{[] { return cleanCaches(PrivilegeMode::password); }, {}, {},
                                                 {"🚫 認証がキャンセルされたため中止しました"}};
        QTest::newRow("caches_helper") << Row{[] { return cleanCaches(PrivilegeMode::touchID); }, cacheContents,
                                              {"/Library/PrivilegedHelperTools/com.orvelle.Tessarin.cleaner", "/private/etc/sudoers.d/tessarin_cleaner"},
                                              {"✅ Touch ID 認証OK（パスワード入力なし）"}};
        QTest::newRow("uninstall") << Row{[] {
            auto model = UninstallerModel::create();
            settle(model->scan());
            for (const InstalledApp& app : model->apps())
                if (app.name == "Quote's Tool")
                    model->setSelectedApp(app);
            settle(model->uninstall());
            return model->log();
        }, targets({"Quote's Tool.app", "Quote's Tool:com.orvelle.demo.quote"}), {}, {"🎉 アンインストール完了！"}};
        // Moves to the Trash make the freedesktop Trash (user) and land in ~/.Trash (root).
        QTest::newRow("intel_trash") << Row{[] { return removeIntelOnly(RemovalMethod::trash); }, intelOnly,
                                            {home + "/.local", home + "/.Trash/"}, {"🎉 完了！"}};
        QTest::newRow("intel_permanent") << Row{[] { return removeIntelOnly(RemovalMethod::permanent); }, intelOnly, {}, {"🎉 完了！"}};
        // The demo service manager keeps each domain's loaded jobs in a file of its own.
        QTest::newRow("startup_items") << Row{switchOffJobs, {}, {"/private/var/db/launchd/"},
                                              {"com.orvelle.demo.helper を無効にしました", "com.orvelle.demo.daemon を無効にしました"}};
        const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(10);
        QTest::newRow("backup") << Row{backUpLibrary, {}, {"/Volumes/Backup"},
                                       {"✅ バックアップ完了！ → /Volumes/Backup/backup-" + stamp + ".tar.gz",
                                        "Users/demo/Library/Application Support/Quote's Tool/"},
                                       "Users/demo/Library/Caches/"};
        // Root's streamed output stays a minute after the run, by design.
        QTest::newRow("installer") << Row{downloadAndExpand, {}, {QDir::tempPath() + "/served-", "/Applications/Install macOS Test.app",
                                                                  "/private/tmp/TessarinStream-",
                                                                        home + "/Library/Application Support/Tessarin"},
                                          {"installer: The install was successful.", "expanded into /Applications", "macOS Demo の取得完了！"}};
        QTest::newRow("usb_stick") << Row{writeUSBStick, {}, {"/Volumes/Install macOS Sequoia", "/private/tmp/TessarinStream-"},
                                          {"✅ USB作成完了！", "Install media now available at \"/Volumes/Install macOS Sequoia\""}};
    }

    void endToEnd()
    {
        QFETCH(Row, row);
        const QMap<QString, QString> before = listTree();
        const QStringList log = row.act();
        const QMap<QString, QString> after = listTree();
        for (const QString& line : row.expect)
            QVERIFY2(log.contains(line), qPrintable(line + "\n-- log:\n" + log.join('\n')));
        QVERIFY2(log.filter(QRegularExpression("^" + QRegularExpression::escape(row.never))).isEmpty(), qPrintable(log.join('\n')));
        QStringList wrong;
        for (auto it = before.begin(); it != before.end(); ++it) {
            const bool gone = !after.contains(it.key());
            if (under(it.key(), row.appear))
                continue;
            if (gone != under(it.key(), row.gone))
                wrong << (gone ? "removed: " : "kept: ") + it.key();
            else if (!gone && it.value() != "dir" && after[it.key()] != it.value())
                wrong << "changed: " + it.key();
        }
        for (auto it = after.begin(); it != after.end(); ++it)
            if (!before.contains(it.key()) && !under(it.key(), row.appear))
                wrong << "added: " + it.key();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n') + "\n-- log:\n" + log.join('\n')));
        QVERIFY(!QFileInfo::exists("/pwned") && !QFileInfo::exists(home + "/pwned"));
    }
};

QTEST_GUILESS_MAIN(SandboxTest)
#include "tst_sandbox.moc"
