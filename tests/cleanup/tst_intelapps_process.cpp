// The Intel-only removal against real bundles in a temporary tree: the user's Trash (the XDG
// Trash under a temporary home), the administrator batch run through /bin/sh as the test's
// own user, and real processes started from inside a bundle.
#include "cleanup/InstalledApp.h"
#include "cleanup/IntelAppsModel.h"
#include "platform/FileManager.h"
#include "platform/Process.h"
#include "platform/Workspace.h"
#include "support/BundleFactory.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/RootPaths.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Paths under `refused` cannot be moved or removed with the user's rights (the test runs as
// root, so the file system would allow everything).
class TestFiles final : public platform::FileManager {
public:
    QString refused;
    platform::TreeRemoval removeItem(const QString& path) const override
    {
        return isRefused(path) ? platform::TreeRemoval{0, 1, EACCES} : platform::FileManager::removeItem(path);
    }
    bool moveToTrash(const QString& path, QString* trashed) const override
    {
        return isRefused(path) ? false : platform::FileManager::moveToTrash(path, trashed);
    }

private:
    bool isRefused(const QString& path) const { return !refused.isEmpty() && path.startsWith(refused); }
};

QStringList tree(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

void runForReal(FakeAuthorization& auth)
{
    auth.otherwise([](const QString& line) {
        platform::ProcessRequest request;
        request.program = QStringLiteral("/bin/sh");
        request.arguments = {QStringLiteral("-c"), line};
        request.nullInput = true;
        const platform::ProcessOutcome outcome = platform::runProcess(request);
        if (outcome.exitStatus != 0)
            return PrivilegedAnswer::fail(AuthError::commandFailed(QString::fromUtf8(outcome.standardError)));
        return PrivilegedAnswer::ok(QString::fromUtf8(outcome.standardOutput));
    });
}

} // namespace

class IntelAppsProcessTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray savedHome_;
    QByteArray savedData_;
    QString home_;
    QString apps_;
    QString system_;
    LeftoverRoots roots_;

    QString intelBundle(const QString& folder, const QString& fileName, const QString& name, const QString& bundleID)
    {
        return BundleFactory::createApp(folder, fileName, BundleFactory::thinMachO(BundleFactory::cpuX86_64), name,
                                        bundleID);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        savedHome_ = qgetenv("HOME");
        savedData_ = qgetenv("XDG_DATA_HOME");
    }
    void cleanupTestCase()
    {
        qputenv("HOME", savedHome_);
        if (savedData_.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedData_);
    }
    void init()
    {
        const QString root = dir_.path() + QStringLiteral("/t");
        QDir(root).removeRecursively();
        home_ = root + QStringLiteral("/home");
        apps_ = home_ + QStringLiteral("/Applications");
        system_ = root + QStringLiteral("/SystemApplications");
        roots_.systemLibrary = root + QStringLiteral("/Library");
        for (const QString& folder : {apps_, system_, home_ + QStringLiteral("/.Trash"),
                                      home_ + QStringLiteral("/.local/share"), roots_.systemLibrary})
            QVERIFY(QDir().mkpath(folder));
        // The Trash of the temporary home (XDG) and the administrator's H/.Trash both live there.
        qputenv("HOME", QFile::encodeName(home_));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_ + QStringLiteral("/.local/share")));
        QCOMPARE(platform::FileManager::systemDefault().homeDirectory(), home_);
    }

    void trashRemovalWithAdministratorBatch()
    {
        TestFiles files;
        files.refused = roots_.systemLibrary;
        platform::Service<platform::FileManager>::Override useFiles(files);
        platform::Service<LeftoverRoots>::Override useRoots(roots_);
        const QString foo = intelBundle(apps_, QStringLiteral("Foo.app"), QStringLiteral("Foo"), QStringLiteral("com.example.foo"));
        const QString keep = intelBundle(apps_, QStringLiteral("Keep.app"), QStringLiteral("Keep"), QStringLiteral("com.example.keep"));
        BundleFactory::createApp(apps_, QStringLiteral("Native.app"), BundleFactory::thinMachO(BundleFactory::cpuARM64));
        const QString caches = home_ + QStringLiteral("/Library/Caches/com.example.foo");
        const QString keepCaches = home_ + QStringLiteral("/Library/Caches/com.example.keep");
        const QString systemSupport = roots_.systemLibrary + QStringLiteral("/Application Support/Foo");
        const QString systemPrefs = roots_.systemLibrary + QStringLiteral("/Preferences/com.example.foo.plist");
        for (const QString& folder : {caches, keepCaches, systemSupport})
            QVERIFY(QDir().mkpath(folder));
        QVERIFY(BundleFactory::writeFile(systemPrefs, "p"));
        // A Trash entry that already carries a name the batch could pick.
        auto model = IntelAppsModel::create(QStringList{apps_}, RosettaInfo{true, true});
        QCoro::waitFor(model->scan());
        QCOMPARE(model->totalScanned(), 3);
        QCOMPARE(model->apps().size(), 2);
        for (const IntelOnlyApp& app : model->apps())
            if (app.name == QStringLiteral("Foo"))
                model->setSelected(app.id, true);
        QVERIFY(model->apps().at(0).sizeMB >= 1 || model->apps().at(1).sizeMB >= 0);

        FakeAuthorization auth;
        runForReal(auth);
        QCoro::waitFor(model->removeSelected());

        QCOMPARE(auth.commands().size(), 1);
        QVERIFY(!QFileInfo::exists(foo));
        QVERIFY(!QFileInfo::exists(caches));
        QVERIFY(!QFileInfo::exists(systemSupport));
        QVERIFY(!QFileInfo::exists(systemPrefs));
        QVERIFY(QFileInfo::exists(keep));
        QVERIFY(QFileInfo::exists(keepCaches));
        // The user's own items went to the XDG Trash, the administrator's into H/.Trash.
        const QStringList xdgTrash = QDir(home_ + QStringLiteral("/.local/share/Trash/files")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QCOMPARE(xdgTrash.size(), 2);
        const QStringList adminTrash = QDir(home_ + QStringLiteral("/.Trash")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
        QCOMPARE(adminTrash.size(), 2);
        QVERIFY(adminTrash.at(0).endsWith(QStringLiteral("_Foo")));
        QVERIFY(adminTrash.at(1).endsWith(QStringLiteral("_com.example.foo.plist")));
        QCOMPARE(model->apps().size(), 1);
        QCOMPARE(model->apps().first().name, QStringLiteral("Keep"));
        QCOMPARE(model->log().last(), QStringLiteral("🎉 完了！"));
        QVERIFY(!model->log().join('\n').contains(QStringLiteral("処理できませんでした")));
    }

    void sameNameInOneBatchNeverOverwrites()
    {
        TestFiles files;
        files.refused = system_;
        platform::Service<platform::FileManager>::Override useFiles(files);
        platform::Service<LeftoverRoots>::Override useRoots(roots_);
        // Two bundles with the same file name in two folders, both needing administrator rights,
        // and a Trash entry that already has the first name the batch would pick.
        const QString first = intelBundle(system_ + QStringLiteral("/A"), QStringLiteral("Twin.app"), QStringLiteral("Twin A"), QStringLiteral("a.twin"));
        const QString second = intelBundle(system_ + QStringLiteral("/B"), QStringLiteral("Twin.app"), QStringLiteral("Twin B"), QStringLiteral("b.twin"));
        QVERIFY(BundleFactory::writeFile(first + QStringLiteral("/Contents/marker"), "first"));
        QVERIFY(BundleFactory::writeFile(second + QStringLiteral("/Contents/marker"), "second"));
        auto model = IntelAppsModel::create(QStringList{system_}, RosettaInfo{true, true});
        QCoro::waitFor(model->scan());
        QCOMPARE(model->apps().size(), 2);
        model->setAllSelected(true);
        model->setIncludeLeftovers(false);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (qint64 t = now; t < now + 5; ++t)
            QVERIFY(QDir().mkpath(home_ + QStringLiteral("/.Trash/") + QString::number(t) + QStringLiteral("_Twin.app")));
        const QStringList occupied = tree(home_ + QStringLiteral("/.Trash"));

        FakeAuthorization auth;
        runForReal(auth);
        QCoro::waitFor(model->removeSelected());
        QVERIFY(!QFileInfo::exists(first));
        QVERIFY(!QFileInfo::exists(second));
        QStringList markers;
        QDirIterator it(home_ + QStringLiteral("/.Trash"), {QStringLiteral("marker")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile marker(it.next());
            QVERIFY(marker.open(QIODevice::ReadOnly));
            markers << QString::fromUtf8(marker.readAll());
            // Each moved bundle (…/<entry>/Contents/marker) is an entry of its own, not inside an existing one.
            const QString entry = QFileInfo(QFileInfo(marker.fileName()).path()).path();
            QCOMPARE(QFileInfo(entry).path(), home_ + QStringLiteral("/.Trash"));
            QVERIFY(!occupied.contains(QFileInfo(entry).fileName()));
        }
        markers.sort();
        QCOMPARE(markers, (QStringList{"first", "second"}));
        // The entries that were there are untouched.
        for (const QString& entry : occupied)
            QVERIFY2(QFileInfo::exists(home_ + QStringLiteral("/.Trash/") + entry), qPrintable(entry));
        QVERIFY(model->apps().isEmpty());
    }

    void hostileNamesStayInTheirPaths_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("bundleID");
        QTest::newRow("quote") << "Bob's App.app" << "com.bob's";
        QTest::newRow("substitution") << "x$(touch y).app" << "x$(touch z)";
        QTest::newRow("identifier ..") << "Dots.app" << "..";
        QTest::newRow("line feed") << "Line\nFeed.app" << "line\nfeed";
    }
    void hostileNamesStayInTheirPaths()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, bundleID);
        for (bool permanent : {false, true}) {
            init();
            TestFiles files;
            files.refused = system_;
            platform::Service<platform::FileManager>::Override useFiles(files);
            platform::Service<LeftoverRoots>::Override useRoots(roots_);
            const QString target = intelBundle(system_, fileName, InstalledApp::nameFromPath(fileName), bundleID);
            QVERIFY(!target.isEmpty());
            const QString neighbour = intelBundle(system_, QStringLiteral("Neighbour.app"), QStringLiteral("Neighbour"), QStringLiteral("n"));
            QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Preferences")));
            QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Caches")));
            const QStringList before = tree(dir_.path());
            auto model = IntelAppsModel::create(QStringList{system_}, RosettaInfo{true, true});
            FakeCommandRunner quiet;
            QCoro::waitFor(model->scan());
            for (const IntelOnlyApp& app : model->apps())
                if (app.path == target)
                    model->setSelected(app.id, true);
            QCOMPARE(model->selectedApps().size(), 1);
            model->setRemovalMethod(permanent ? RemovalMethod::permanent : RemovalMethod::trash);
            FakeAuthorization auth;
            runForReal(auth);
            QCoro::waitFor(model->removeSelected());
            QVERIFY(!QFileInfo::exists(target));
            QVERIFY(QFileInfo::exists(neighbour));
            // Apart from the bundle itself, the only change is the new Trash entry.
            const QString rel = QDir(dir_.path()).relativeFilePath(target);
            QStringList after = tree(dir_.path());
            const QString trashRel = QDir(dir_.path()).relativeFilePath(home_ + QStringLiteral("/.Trash"));
            after.erase(std::remove_if(after.begin(), after.end(),
                                       [&](const QString& e) { return e.startsWith(trashRel + QLatin1Char('/')); }),
                        after.end());
            QStringList expected = before;
            expected.erase(std::remove_if(expected.begin(), expected.end(),
                                          [&](const QString& e) { return e == rel || e.startsWith(rel + QLatin1Char('/')); }),
                           expected.end());
            QCOMPARE(after, expected);
            const QStringList trashed = QDir(home_ + QStringLiteral("/.Trash")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
            QCOMPARE(trashed.size(), permanent ? 0 : 1);
            for (const char* stray : {"y", "z"})
                QVERIFY(!QFileInfo::exists(QDir::currentPath() + QLatin1Char('/') + QLatin1String(stray)));
        }
    }

    void runningCopyIsAskedToQuit()
    {
        const QString bundle = apps_ + QStringLiteral("/Sleeper.app");
        const QString executable = bundle + QStringLiteral("/Contents/MacOS/Sleeper");
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS")));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), executable));
        QFile::setPermissions(executable, QFile::permissions(executable) | QFileDevice::ExeOwner);
        QProcess sleeper;
        sleeper.start(executable, {QStringLiteral("60")});
        QVERIFY(sleeper.waitForStarted());
        IntelOnlyApp app;
        app.id = QUuid::createUuid();
        app.name = QStringLiteral("Sleeper");
        app.path = bundle;
        auto isListed = [&bundle] {
            const QList<platform::RunningApplication> running = platform::Workspace::shared().runningApplications();
            return std::any_of(running.cbegin(), running.cend(),
                               [&](const platform::RunningApplication& r) { return r.bundlePath == bundle; });
        };
        QTRY_VERIFY(isListed());
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        QCoro::waitFor(model->terminateIfRunning(app));
        // It may have ended while the wait ran the event loop (then waitForFinished() is false).
        QTRY_COMPARE_WITH_TIMEOUT(sleeper.state(), QProcess::NotRunning, 5000);
        QCOMPARE(sleeper.exitStatus(), QProcess::CrashExit);   // ended by SIGTERM
        QCOMPARE(model->log(), QStringList{QStringLiteral("⏹ 起動中のため終了します: Sleeper")});
    }

    void copyThatRefusesIsForced()
    {
        const QString bundle = apps_ + QStringLiteral("/Stubborn.app");
        const QString executable = bundle + QStringLiteral("/Contents/MacOS/Stubborn");
        QVERIFY(QDir().mkpath(bundle + QStringLiteral("/Contents/MacOS")));
        QVERIFY(QFile::copy(QStringLiteral("/bin/bash"), executable));
        QProcess stubborn;
        // Ignores the polite request and waits on its open standard input.
        stubborn.start(executable, {QStringLiteral("-c"), QStringLiteral("trap '' TERM; read line")});
        QVERIFY(stubborn.waitForStarted());
        QTest::qWait(100);
        IntelOnlyApp app;
        app.id = QUuid::createUuid();
        app.name = QStringLiteral("Stubborn");
        app.path = bundle;
        auto model = IntelAppsModel::create(QStringList{}, RosettaInfo{});
        model->terminationPollInterval = std::chrono::milliseconds(20);
        QCoro::waitFor(model->terminateIfRunning(app));
        QTRY_COMPARE_WITH_TIMEOUT(stubborn.state(), QProcess::NotRunning, 5000);
        QCOMPARE(stubborn.exitStatus(), QProcess::CrashExit);
        QCOMPARE(model->log(), QStringList{QStringLiteral("⏹ 起動中のため終了します: Stubborn")});
    }
};

QTEST_GUILESS_MAIN(IntelAppsProcessTest)
#include "tst_intelapps_process.moc"
