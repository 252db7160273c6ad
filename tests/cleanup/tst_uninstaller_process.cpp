// The uninstaller against real bundles in a temporary tree: find and du run through zsh,
// the root steps through /bin/sh as the test's own user.
#include "cleanup/InstalledApp.h"
#include "cleanup/UninstallerModel.h"
#include "platform/FileManager.h"
#include "platform/Process.h"
#include "support/BundleFactory.h"
#include "support/FakePrivileged.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class HomeIn final : public platform::FileManager {
public:
    QString home;
    QString homeDirectory() const override { return home; }
};

// Every entry below `root`, links not followed, as sorted relative paths.
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

// Runs root lines as this user through /bin/sh, the way the administrator runner hands them on;
// the process-kill line is only recorded.
void runForReal(FakeAuthorization& auth)
{
    auth.otherwise([](const QString& line) {
        if (line.startsWith(QStringLiteral("pkill ")))
            return PrivilegedAnswer::ok();
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

class UninstallerProcessTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString root_;
    QString apps_;
    HomeIn files_;
    LeftoverRoots roots_;

    QString bundle(const QString& fileName, const QString& bundleID)
    {
        BundleFactory::App app;
        app.fileName = fileName;
        app.info = BundleFactory::appInfo(QStringLiteral("n"), bundleID, QStringLiteral("1"), QStringLiteral("Main"));
        app.executable = QByteArray(3 * 1024 * 1024, 'x');   // du reports 3 MiB
        return BundleFactory::create(apps_, app);
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        root_ = dir_.path() + QStringLiteral("/root");
        QDir(root_).removeRecursively();
        apps_ = root_ + QStringLiteral("/Applications");
        files_.home = root_ + QStringLiteral("/home");
        roots_.systemLibrary = root_ + QStringLiteral("/Library");
        for (const QString& folder : {apps_, files_.home + QStringLiteral("/Library/Caches"),
                                      files_.home + QStringLiteral("/Library/Application Support"),
                                      files_.home + QStringLiteral("/Library/Preferences"),
                                      roots_.systemLibrary + QStringLiteral("/Preferences")})
            QVERIFY(QDir().mkpath(folder));
    }

    void scanListsTheRightBundles()
    {
        platform::Service<platform::FileManager>::Override useFiles(files_);
        const QString xml = bundle(QStringLiteral("Zeta.app"), QStringLiteral("com.example.zeta"));
        BundleFactory::App binary;
        binary.fileName = QStringLiteral("alpha.app");
        binary.info = {{"CFBundleIdentifier", "com.example.alpha"}};
        binary.format = BundleFactory::PlistFormat::binary;
        const QString alpha = BundleFactory::create(apps_, binary);
        QVERIFY(QDir().mkpath(apps_ + QStringLiteral("/Google Chrome.app/Contents")));
        QVERIFY(QDir().mkpath(apps_ + QStringLiteral("/Nested/Deep.app")));      // depth 2: not listed
        QVERIFY(BundleFactory::writeFile(apps_ + QStringLiteral("/File.app"), "x"));   // not a folder
        QVERIFY(QDir().mkpath(apps_ + QStringLiteral("/evil\n.app")));             // name with a line feed

        auto model = UninstallerModel::create({apps_, root_ + QStringLiteral("/missing")});
        QCoro::waitFor(model->scan());
        QStringList names, ids;
        QList<double> sizes;
        for (const InstalledApp& app : model->apps()) {
            names << app.name;
            ids << app.bundleID;
            sizes << app.sizeMB;
        }
        QCOMPARE(names, (QStringList{"Google Chrome", "Zeta", "alpha"}));
        QCOMPARE(ids, (QStringList{"google.chrome", "com.example.zeta", "com.example.alpha"}));
        QVERIFY(sizes.at(1) >= 3);   // 3 MiB of executable, measured by du
        QVERIFY(sizes.at(0) >= 0);
        QCOMPARE(model->apps().at(1).path, xml);
        QCOMPARE(model->apps().at(2).path, alpha);
    }

    void hostileNamesRemoveOnlyTheirOwnPaths_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("bundleID");
        QTest::newRow("quote") << "Bob's App.app" << "com.bob's.app";
        QTest::newRow("substitution") << "x$(touch y).app" << "com.x$(touch z)";
        QTest::newRow("backquotes") << "`touch b`.app" << "`touch c`";
        QTest::newRow("identifier ..") << "Dots.app" << "..";
        QTest::newRow("identifier .") << "Dot.app" << ".";
        QTest::newRow("line feed") << "Line\nFeed.app" << "com.line\nfeed";
        QTest::newRow("glob") << "Star*.app" << "*";
    }
    void hostileNamesRemoveOnlyTheirOwnPaths()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, bundleID);
        platform::Service<platform::FileManager>::Override useFiles(files_);
        platform::Service<LeftoverRoots>::Override useRoots(roots_);
        const QString target = bundle(fileName, bundleID);
        QVERIFY(!target.isEmpty());
        const QString neighbour = bundle(QStringLiteral("Neighbour.app"), QStringLiteral("com.example.neighbour"));
        const QString neighbourCache = files_.home + QStringLiteral("/Library/Caches/com.example.neighbour");
        QVERIFY(QDir().mkpath(neighbourCache));
        QVERIFY(BundleFactory::writeFile(files_.home + QStringLiteral("/Library/Preferences/other.plist"), "x"));
        // The target's own leftovers, where its identifier makes one.
        QStringList own;
        if (InstalledApp::usableComponent(bundleID)) {
            own << files_.home + QStringLiteral("/Library/Caches/") + bundleID
                << roots_.systemLibrary + QStringLiteral("/Preferences/") + bundleID + QStringLiteral(".plist");
            QVERIFY(QDir().mkpath(own[0]));
            QVERIFY(BundleFactory::writeFile(own[1], "p"));
        }
        const QStringList before = tree(dir_.path());

        FakeAuthorization auth;
        runForReal(auth);
        auto model = UninstallerModel::create({apps_});
        QCoro::waitFor(model->scan());
        // The line feed name is no record; the others are found by their path.
        std::optional<InstalledApp> chosen;
        for (const InstalledApp& app : model->apps())
            if (app.path == target)
                chosen = app;
        if (fileName.contains(QLatin1Char('\n'))) {
            QVERIFY(!chosen);
            QCOMPARE(model->apps().size(), 1);
            // Remove it as if it had been listed: the root lines still hold the one path.
            chosen = InstalledApp{QUuid::createUuid(), InstalledApp::nameFromPath(target), bundleID, target, 0, false};
        }
        QVERIFY(chosen);
        model->setSelectedApp(chosen);
        QCoro::waitFor(model->uninstall());
        QCOMPARE(model->log().last(), QStringLiteral("🎉 アンインストール完了！"));

        QStringList expected = before;
        const QString rel = QDir(dir_.path()).relativeFilePath(target);
        expected.erase(std::remove_if(expected.begin(), expected.end(),
                                      [&](const QString& entry) { return entry == rel || entry.startsWith(rel + QLatin1Char('/')); }),
                       expected.end());
        for (const QString& path : own)
            expected.removeAll(QDir(dir_.path()).relativeFilePath(path));
        QCOMPARE(tree(dir_.path()), expected);
        QVERIFY(QFileInfo::exists(neighbour));
        QVERIFY(QFileInfo::exists(neighbourCache));
        // Nothing the names tried to run did anything.
        for (const char* stray : {"y", "z", "b", "c"})
            QVERIFY(!QFileInfo::exists(QDir::currentPath() + QLatin1Char('/') + QLatin1String(stray)));
    }
};

QTEST_GUILESS_MAIN(UninstallerProcessTest)
#include "tst_uninstaller_process.moc"
