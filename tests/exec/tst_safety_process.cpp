// Hostile environments against every destructive action, on real trees. This test runs in a
// sandbox (see tests/CMakeLists.txt) whose only writable place is a private /tmp, without
// capabilities, network or other processes: should the safety boundary ever let something
// through, the test fails instead of harming the machine.
#include "cleanup/CacheModel.h"
#include "cleanup/IntelAppsModel.h"
#include "cleanup/UninstallerModel.h"
#include "diagnostics/DashboardModel.h"
#include "platform/Process.h"
#include "support/BundleFactory.h"
#include "support/FakePrivileged.h"
#include "support/FakePrivilegedTools.h"
#include "support/RootPaths.h"

#include <QtTest>
#include <qcoro/qcorotask.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using Listing = QMap<QByteArray, QByteArray>;

// Every entry below `root` by the raw bytes of its relative path, with its type and mode (a
// removal must never change one) and a link's target (never followed).
Listing listTree(const QString& root)
{
    const QStringList arguments{root, QStringLiteral("-mindepth"), QStringLiteral("1"), QStringLiteral("-printf"), QStringLiteral("/%P\\0%y%m %l\\0")};
    const QList<QByteArray> fields = platform::runProcess({QStringLiteral("/usr/bin/find"), arguments, std::nullopt, true}).standardOutput.split('\0');
    Listing entries;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2)
        entries.insert(fields[i], fields[i + 1]);
    return entries;
}

// The paths that differ between two listings, and those of them no target allows: a target
// "x/" allows what lies inside x; "x" allows x itself and what lies inside it.
std::pair<QList<QByteArray>, QList<QByteArray>> changes(const Listing& before, const Listing& after, const QList<QByteArray>& targets)
{
    QList<QByteArray> changed, stray;
    for (const Listing* listing : {&before, &after})
        for (auto it = listing->cbegin(); it != listing->cend(); ++it)
            if (before.value(it.key()) != after.value(it.key()) && !changed.contains(it.key()))
                changed << it.key();
    for (const QByteArray& path : changed)
        if (std::none_of(targets.cbegin(), targets.cend(), [&](const QByteArray& t) { return t.endsWith('/') ? path.startsWith(t) : (path == t || path.startsWith(t + '/')); }))
            stray << path;
    return {changed, stray};
}

// A name with everything a shell or a parser might trip on.
const QString hostileName = QStringLiteral("-Foo's $(touch pwned) `touch pwned2`\nzwei 日本🍎");

struct Tree {
    QTemporaryDir dir;
    QString root = dir.path();
    QString bundle = root + "/Applications/" + hostileName + ".app";
    QString appName = InstalledApp::nameFromPath(bundle);

    Tree()
    {
        for (const QString& file : QStringList{"home/Library/Caches/a", "home/Library/Caches/sub/b", "home/Library/Caches/Google/Chrome/c", "home/Library/Logs/l",
                                                "home/Library/Preferences/com.example.foo.plist", "home/Library/Containers/com.example.foo/data",
                                                "home/Library/Application Support/" + appName + "/x", "home/Library/Preferences/com.example.real.plist",
                                                "home/Documents/keep", "tmp/t1", "tmp/d/t2", "outside/keep"})
            BundleFactory::writeFile(root + "/" + file, "x");
        QDir().mkpath(root + "/home/.Trash");
        // A name that is not UTF-8, and links out of the emptied folders.
        ::close(::open((QFile::encodeName(root + "/home/Library/Caches/") + "bad\xff\xfe").constData(), O_CREAT | O_WRONLY, 0644));
        QFile::link(root + "/outside", root + "/home/Library/Caches/outlink");
        QFile::link(root + "/outside", root + "/tmp/outlink");
        BundleFactory::createApp(root + "/Applications", hostileName + ".app", BundleFactory::thinMachO(BundleFactory::cpuX86_64), {}, "com.example.foo");
        BundleFactory::createApp(root + "/Elsewhere", "Real.app", BundleFactory::thinMachO(BundleFactory::cpuX86_64), {}, "com.example.real");
        QFile::link(root + "/Elsewhere/Real.app", root + "/Applications/Linked.app");
        QFile::link(root + "/Applications", root + "/tmplink");
        QFile::link("/", root + "/rootlink");
        BundleFactory::createApp(root + "/twin", hostileName + ".app", "x", {}, "com.example.twin");
        QFile::link(root + "/Elsewhere/Real.app", root + "/twin/Linked.app");
    }
    ~Tree()
    {
        // Qt's own removal cannot name the entry that is not UTF-8.
        QProcess::execute("chmod", {"-R", "u+w", root});
        platform::FileManager::systemDefault().removeItem(root);
    }
};

} // namespace

class SafetyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qunsetenv("XDG_DATA_HOME");
        // Refuse to run outside the sandbox: a regression here must not reach the machine.
        QVERIFY2(::access("/usr", W_OK) != 0, "run through ctest, which starts this test in its sandbox");
    }

    void hostileEnvironments_data()
    {
        QTest::addColumn<QString>("home");      // "@" is the tree
        QTest::addColumn<QString>("temporary");
        QTest::addColumn<bool>("temporaryRefused");
        QTest::addColumn<QString>("action");
        const struct { const char *name, *home, *temporary; bool refused; } environments[] = {
            {"ordinary", "@/home", "@/tmp/", false},
            {"TMPDIR unset", "@/home", "<unset>", true},
            {"TMPDIR empty", "@/home", "", true},
            {"TMPDIR /", "@/home", "/", true},
            {"TMPDIR missing", "@/home", "@/nope/", false},
            {"TMPDIR link to Applications", "@/home", "@/tmplink/", true},
            // Both really are the shared /tmp, which holds this tree.
            {"TMPDIR through a link to /", "@/home", "@/rootlink/tmp/", true},
            {"TMPDIR /proc/self/root/tmp", "@/home", "/proc/self/root/tmp/", true},
            {"HOME /", "/", "@/tmp/", false},
            {"HOME empty", "", "@/tmp/", false},
        };
        for (const auto& environment : environments)
            for (const char* action : {"cache", "optimize", "uninstall", "uninstall link", "intel", "intel trash", "intel cancelled"})
                QTest::addRow("%s, %s", environment.name, action)
                    << environment.home << environment.temporary << environment.refused << QString::fromLatin1(action);
        // While the password dialog is open, Applications becomes a link to a twin holding a
        // bundle of the same name: root must not follow it there.
        QTest::addRow("ordinary, intel swapped") << "@/home" << "@/tmp/" << false << "intel swapped";
    }

    void hostileEnvironments()
    {
        QFETCH(QString, home);
        QFETCH(QString, temporary);
        QFETCH(bool, temporaryRefused);
        QFETCH(QString, action);
        Tree tree;
        QVERIFY(QFileInfo::exists(tree.bundle));
        const auto restore = qScopeGuard([savedHome = qgetenv("HOME")] { qputenv("HOME", savedHome), qunsetenv("TMPDIR"); });
        for (const auto& [name, value] : {std::pair{"HOME", home}, {"TMPDIR", temporary}})
            value == QLatin1String("<unset>") ? qunsetenv(name) : qputenv(name, QFile::encodeName(QString(value).replace(QLatin1Char('@'), tree.root)));
        QDir::setCurrent(tree.root);   // what an injected command would create lands in the tree
        const bool homeInTree = home.startsWith(QLatin1Char('@')), temporaryInTree = temporary == QLatin1String("@/tmp/");
        const QString systemTemporary = platform::FileManager::shared().temporaryDirectory();

        FakeAuthorization auth;   // runs the command for real, as this capability-less user
        auth.otherwise([](const QString& line) {
            if (line.startsWith(QLatin1String("purge")))
                return PrivilegedAnswer::ok();
            return PrivilegedAnswer::ok(QString::fromUtf8(platform::runProcess({QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line}, std::nullopt, true}).standardOutput));
        });
        FakeCleanerHelper helper;
        const bool cancelled = action == QLatin1String("intel cancelled"), swapped = action == QLatin1String("intel swapped");
        if (cancelled || swapped) {
            // The user may not remove the bundles: root has to.
            QVERIFY(QProcess::execute("chmod", {"-R", "a-w", tree.root + "/Applications"}) == 0);
        }
        if (cancelled)
            auth.failAll(AuthError::userCancelled());
        if (swapped) {
            // Someone other than root may write to the tree, as to a home.
            QVERIFY(QProcess::execute("chmod", {"0777", tree.root}) == 0);
            auth.otherwise([root = tree.root](const QString& line) {
                if (line.contains(QLatin1String("/bin/rm -rf")) && !QFileInfo::exists(root + "/Applications.moved"))
                    QDir(root).rename("Applications", "Applications.moved"), QFile::link(root + "/twin", root + "/Applications");
                return PrivilegedAnswer::ok(QString::fromUtf8(platform::runProcess({QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line}, std::nullopt, true}).standardOutput));
            });
        }
        const auto before = listTree(tree.root);
        QList<QByteArray> targets;
        QStringList log;
        const QList<QByteArray> leftovers{"/home/Library/Preferences/com.example.foo.plist", "/home/Library/Containers/com.example.foo",
                                          QFile::encodeName("/home/Library/Application Support/" + tree.appName)};

        if (temporaryInTree && (action == QLatin1String("cache") || action == QLatin1String("optimize")))
            targets << "/tmp/";
        if (action == QLatin1String("cache")) {
            auto model = std::make_shared<CacheModel>();
            settle(model->clean(PrivilegeMode::password));
            log = model->log();
            if (homeInTree)
                targets << "/home/Library/Caches/" << "/home/Library/Logs/" << "/home/.Trash/";
            QCOMPARE(log.join('\n').contains(QStringLiteral("⛔️ 許可外のため拒否: ")), temporaryRefused);
            if (!temporaryRefused && homeInTree) {
                // Everything went, the name that is not UTF-8 too, and the browser folders
                // that went with their parent are not reported as refused.
                QVERIFY(log.contains("  ✅ " + tree.root + "/home/Library/Caches (中身を完全に削除: 8個)"));
                QVERIFY(log.contains("  ℹ️ キャッシュなし: " + tree.root + "/home/Library/Caches/Google/Chrome"));
            }
        } else if (action == QLatin1String("optimize")) {
            QCOMPARE(DashboardModel::optimizableFolders().contains(systemTemporary), !temporaryRefused && !systemTemporary.isEmpty());
            auto model = std::make_shared<DashboardModel>();
            settle(model->quickOptimize());
            if (homeInTree)
                targets << "/home/Library/Caches/";
        } else if (action.startsWith(QLatin1String("uninstall"))) {
            const bool linked = action == QLatin1String("uninstall link");
            const QString path = linked ? tree.root + "/Applications/Linked.app" : tree.bundle;
            auto model = UninstallerModel::create();
            model->setSelectedApp(InstalledApp{QUuid::createUuid(), InstalledApp::nameFromPath(path),
                                               linked ? "com.example.real" : "com.example.foo", path, 1, false});
            settle(model->uninstall());
            log = model->log();
            targets << QFile::encodeName(path.mid(tree.root.size()));
            if (homeInTree && !linked)
                targets << leftovers;
            QVERIFY(!QFileInfo::exists(path) && !QFileInfo(path).isSymLink());
        } else {
            auto model = IntelAppsModel::create(QStringList{tree.root + "/Applications"}, RosettaInfo{true, true});
            settle(model->scan());
            QCOMPARE(model->apps().size(), 2);   // the bundle, and the link to one elsewhere
            model->setAllSelected(true);
            model->setRemovalMethod(action == QLatin1String("intel trash") ? RemovalMethod::trash : RemovalMethod::permanent);
            settle(model->removeSelected());
            log = model->log();
            if (swapped) {
                targets << "/Applications" << "/Applications.moved";
            } else if (!cancelled) {
                // The link goes, the bundle it points at and that one's leftovers stay.
                targets << QFile::encodeName(tree.bundle.mid(tree.root.size())) << "/Applications/Linked.app";
                if (homeInTree)
                    targets << leftovers << "/home/.Trash/" << "/home/.local";
            } else {
                QVERIFY(log.contains(IntelAppsModel::keptLeftoversLine(tree.bundle)));
            }
        }

        const auto after = listTree(tree.root);
        const auto [changed, stray] = changes(before, after, targets);
        QVERIFY2(stray.isEmpty(), stray.join('\n') + "\nchanged; log:\n" + log.join('\n').toUtf8());
        // The ordinary case really removes what it was asked to.
        if (!temporaryRefused && homeInTree && !cancelled && !swapped)
            QVERIFY2(!changed.isEmpty(), "nothing was removed");
    }

    // pkill's pattern ends only processes started from inside the bundle, never one whose
    // command line merely contains the bundle's path.
    void killLineEndsOnlyTheBundlesOwnProcesses()
    {
        QTemporaryDir dir;
        const QString bundle = dir.path() + QStringLiteral("/Applications/Foo (1).app");
        const QStringList names{bundle + "/Contents/MacOS/Foo", "/Users/other" + bundle + "/Contents/MacOS/Foo",
                                "vim " + bundle + ".bak/notes.txt", bundle + ".bak/Contents/MacOS/Foo"};
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const QString& name : names) {
            processes.push_back(std::make_unique<QProcess>());
            processes.back()->start(QStringLiteral("perl"), {QStringLiteral("-e"), QStringLiteral("$0 = shift; sleep 60"), name});
            QVERIFY(processes.back()->waitForStarted());
            // Until the process shows its new command line whole: perl clears the old one
            // before it writes the new, and pkill must not read it in between.
            QTRY_VERIFY_WITH_TIMEOUT(readWholeFile(QStringLiteral("/proc/%1/cmdline").arg(processes.back()->processId())).startsWith(name.toUtf8() + '\0'), 5000);
        }
        const QString kill = UninstallerModel::killCommand(clearedForRoot(bundle));
        QCOMPARE(platform::runProcess({.program = QStringLiteral("/bin/sh"), .arguments = {QStringLiteral("-c"), kill}, .input = {}, .nullInput = false, .mergeOutput = false}).exitStatus, 0);
        QVERIFY(processes[0]->waitForFinished(5000));
        QStringList running;
        for (const auto& process : processes)
            running << (process->state() == QProcess::Running ? "running" : "ended");
        for (const auto& process : processes)
            process->kill(), process->waitForFinished();
        QCOMPARE(running, (QStringList{"ended", "running", "running", "running"}));
    }
};

QTEST_GUILESS_MAIN(SafetyTest)
#include "tst_safety_process.moc"
