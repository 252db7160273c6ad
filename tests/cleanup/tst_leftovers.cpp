#include "cleanup/InstalledApp.h"
#include "platform/FileManager.h"
#include "support/BundleFactory.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The user's home folder inside the test's temporary tree.
class HomeIn final : public platform::FileManager {
public:
    explicit HomeIn(QString home) : home_(std::move(home)) {}
    QString homeDirectory() const override { return home_; }

private:
    QString home_;
};

bool touch(const QString& path)
{
    return BundleFactory::writeFile(path, QByteArrayLiteral("x"));
}

} // namespace

class LeftoversTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString home_;
    QString library_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
        home_ = dir_.path() + QStringLiteral("/home/user");
        library_ = dir_.path() + QStringLiteral("/system/Library");
        QVERIFY(QDir().mkpath(home_));
        QVERIFY(QDir().mkpath(library_));
    }

    void candidatesInOrder()
    {
        const QStringList candidates =
            InstalledApp::leftoverCandidates(QStringLiteral("Foo"), QStringLiteral("com.example.foo"), "/Users/u", "/Library");
        const QStringList expected = {
            "/Users/u/Library/Application Support/Foo",
            "/Library/Application Support/Foo",
            "/Users/u/Library/Application Support/com.example.foo",
            "/Users/u/Library/Preferences/com.example.foo.plist",
            "/Users/u/Library/Caches/com.example.foo",
            "/Users/u/Library/HTTPStorages/com.example.foo",
            "/Users/u/Library/WebKit/com.example.foo",
            "/Users/u/Library/Saved Application State/com.example.foo.savedState",
            "/Users/u/Library/Containers/com.example.foo",
            "/Users/u/Library/Group Containers/com.example.foo",
            "/Library/Preferences/com.example.foo.plist",
        };
        QCOMPARE(candidates, expected);
    }

    void unusableValuesContributeNothing_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
        QTest::newRow("line feeds and tabs") << QStringLiteral("\n\t \n");
        QTest::newRow("slash") << QStringLiteral("com/example");
        QTest::newRow("leading slash") << QStringLiteral("/etc");
        QTest::newRow("dot") << QStringLiteral(".");
        QTest::newRow("dot dot") << QStringLiteral("..");
        QTest::newRow("dot dot padded") << QStringLiteral("  ..\n");
        QTest::newRow("dot padded") << QStringLiteral("\t. ");
        QTest::newRow("nul") << QString::fromUtf8("..\0x", 4);
    }
    void unusableValuesContributeNothing()
    {
        QFETCH(QString, value);
        QVERIFY(!InstalledApp::usableComponent(value));
        QVERIFY(InstalledApp::leftoverCandidates(value, value, "/Users/u", "/Library").isEmpty());
        // Only the usable side contributes.
        QCOMPARE(InstalledApp::leftoverCandidates(QStringLiteral("Foo"), value, "/H", "/L"),
                 (QStringList{"/H/Library/Application Support/Foo", "/L/Application Support/Foo"}));
        QCOMPARE(InstalledApp::leftoverCandidates(value, QStringLiteral("b"), "/H", "/L").size(), 9);
    }

    void usableValuesAreTrimmed_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Foo" << "Foo";
        QTest::newRow("blank around") << " Foo " << "Foo";
        QTest::newRow("newline around") << "\nFoo\r\n" << "Foo";
        QTest::newRow("ideographic space") << QStringLiteral("\u3000Foo\u3000") << "Foo";
        QTest::newRow("inner blanks stay") << " Google Chrome " << "Google Chrome";
        QTest::newRow("three dots") << "..." << "...";
        QTest::newRow("dot name") << ".hidden" << ".hidden";
        QTest::newRow("quote") << "Bob's" << "Bob's";
        QTest::newRow("star") << "*" << "*";
    }
    void usableValuesAreTrimmed()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(InstalledApp::usableComponent(value), std::optional<QString>(expected));
    }

    void nothingOnDiskGivesNothing()
    {
        HomeIn files(home_);
        platform::Service<platform::FileManager>::Override useHome(files);
        LeftoverRoots roots{library_};
        platform::Service<LeftoverRoots>::Override useLibrary(roots);
        QVERIFY(InstalledApp::leftovers(QStringLiteral("Foo"), QStringLiteral("com.example.foo")).isEmpty());
    }

    void onlyWhatExists()
    {
        HomeIn files(home_);
        platform::Service<platform::FileManager>::Override useHome(files);
        LeftoverRoots roots{library_};
        platform::Service<LeftoverRoots>::Override useLibrary(roots);
        QVERIFY(touch(library_ + QStringLiteral("/Preferences/com.example.foo.plist")));
        QCOMPARE(InstalledApp::leftovers(QStringLiteral("Foo"), QStringLiteral("com.example.foo")),
                 QStringList{library_ + QStringLiteral("/Preferences/com.example.foo.plist")});

        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Caches/com.example.foo")));
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Application Support/Foo")));
        // A near miss is not a match: no prefixes, no case folding, no globbing.
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Caches/com.example.foo.helper")));
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Caches/COM.EXAMPLE.FOO")));
        QVERIFY(touch(home_ + QStringLiteral("/Library/Preferences/com.example.foo.plist.bak")));
        QCOMPARE(InstalledApp::leftovers(QStringLiteral("Foo"), QStringLiteral("com.example.foo")),
                 (QStringList{home_ + QStringLiteral("/Library/Application Support/Foo"),
                              home_ + QStringLiteral("/Library/Caches/com.example.foo"),
                              library_ + QStringLiteral("/Preferences/com.example.foo.plist")}));
    }

    void trimmedNameFindsTheFolderWithoutBlanks()
    {
        HomeIn files(home_);
        platform::Service<platform::FileManager>::Override useHome(files);
        LeftoverRoots roots{library_};
        platform::Service<LeftoverRoots>::Override useLibrary(roots);
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Application Support/Foo")));
        QCOMPARE(InstalledApp::leftovers(QStringLiteral(" Foo "), QString()),
                 QStringList{home_ + QStringLiteral("/Library/Application Support/Foo")});
    }

    void sameNameAndIdentifierListsTheFolderTwice()
    {
        HomeIn files(home_);
        platform::Service<platform::FileManager>::Override useHome(files);
        LeftoverRoots roots{library_};
        platform::Service<LeftoverRoots>::Override useLibrary(roots);
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Application Support/same")));
        const QString expected = home_ + QStringLiteral("/Library/Application Support/same");
        QCOMPARE(InstalledApp::leftovers(QStringLiteral("same"), QStringLiteral("same")), (QStringList{expected, expected}));
    }

    void hostileIdentifierNeverNamesALibraryFolder_data()
    {
        QTest::addColumn<QString>("bundleID");
        QTest::newRow("..") << "..";
        QTest::newRow(".") << ".";
        QTest::newRow("../..") << "../..";
        QTest::newRow("blank") << " ";
    }
    void hostileIdentifierNeverNamesALibraryFolder()
    {
        HomeIn files(home_);
        platform::Service<platform::FileManager>::Override useHome(files);
        LeftoverRoots roots{library_};
        platform::Service<LeftoverRoots>::Override useLibrary(roots);
        for (const char* folder : {"Application Support", "Caches", "Preferences", "Containers", "Group Containers",
                                   "WebKit", "HTTPStorages", "Saved Application State"})
            QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/") + QLatin1String(folder)));
        QVERIFY(QDir().mkpath(library_ + QStringLiteral("/Preferences")));
        QFETCH(QString, bundleID);
        QVERIFY(InstalledApp::leftovers(QStringLiteral(".."), bundleID).isEmpty());
    }

    void danglingLinkIsNotALeftover()
    {
        HomeIn files(home_);
        platform::Service<platform::FileManager>::Override useHome(files);
        LeftoverRoots roots{library_};
        platform::Service<LeftoverRoots>::Override useLibrary(roots);
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Library/Caches")));
        QVERIFY(QFile::link(dir_.path() + QStringLiteral("/nowhere"), home_ + QStringLiteral("/Library/Caches/com.x")));
        QVERIFY(InstalledApp::leftovers(QStringLiteral("X"), QStringLiteral("com.x")).isEmpty());
    }

    void fallbackIdentifier_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Google Chrome") << "Google Chrome" << "google.chrome";
        QTest::newRow("one word") << "Safari" << "safari";
        QTest::newRow("two blanks") << "A  B" << "a..b";
        QTest::newRow("non-Latin") << "ÄPFEL Saft" << "äpfel.saft";
        QTest::newRow("tab is not a blank") << "A\tB" << "a\tb";
    }
    void fallbackIdentifier()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(InstalledApp::fallbackBundleID(name), expected);
    }

    void nameFromPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Safari") << "/Applications/Safari.app" << "Safari";
        QTest::newRow("dots inside") << "/Applications/Foo.bar.app" << "Foo.bar";
        QTest::newRow("quote") << "/Applications/Bob's App.app" << "Bob's App";
        QTest::newRow("only extension") << "/Applications/.app" << ".app";
        QTest::newRow("dot dot name") << "/Applications/...app" << "..";
        QTest::newRow("trailing slash") << "/Applications/Foo.app/" << "Foo";
    }
    void nameFromPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(InstalledApp::nameFromPath(path), expected);
    }

    void recordsDifferByIdentity()
    {
        InstalledApp a{QUuid::createUuid(), "A", "a", "/Applications/A.app", 1, false};
        InstalledApp b = a;
        QCOMPARE(a, b);
        QCOMPARE(qHash(a), qHash(b));
        b.id = QUuid::createUuid();
        QVERIFY(a != b);
    }

    void insideHome_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("home");
        QTest::addColumn<bool>("inside");
        QTest::newRow("below") << "/Users/u/Library/Caches/x" << "/Users/u" << true;
        QTest::newRow("itself") << "/Users/u" << "/Users/u" << true;
        QTest::newRow("sibling with the same prefix") << "/Users/uu/Library" << "/Users/u" << false;
        QTest::newRow("system") << "/Library/Preferences/x.plist" << "/Users/u" << false;
        QTest::newRow("no home") << "/Library/x" << "" << false;
    }
    void insideHome()
    {
        QFETCH(QString, path);
        QFETCH(QString, home);
        QFETCH(bool, inside);
        QCOMPARE(isInsideHome(path, home), inside);
    }

    void propertyListStrings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        const QVariantMap info{{"CFBundleIdentifier", "com.example.x"}};
        QTest::newRow("xml") << BundleFactory::plist(info) << true << "com.example.x";
        QTest::newRow("binary") << BundleFactory::plist(info, BundleFactory::PlistFormat::binary) << true
                                << "com.example.x";
        QTest::newRow("empty text is text") << BundleFactory::plist({{"CFBundleIdentifier", ""}}) << true << "";
        QTest::newRow("number") << BundleFactory::plist({{"CFBundleIdentifier", 5}}) << false << "";
        QTest::newRow("missing key") << BundleFactory::plist({{"CFBundleName", "x"}}) << false << "";
        QTest::newRow("array root") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>")
                                    << false << "";
        QTest::newRow("garbage") << QByteArray("not a plist at all") << false << "";
        QTest::newRow("truncated binary")
            << BundleFactory::plist(info, BundleFactory::PlistFormat::binary).left(20) << false << "";
        QTest::newRow("empty file") << QByteArray() << false << "";
    }
    void propertyListStrings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QString, value);
        const QString path = dir_.path() + QStringLiteral("/Info.plist");
        QVERIFY(BundleFactory::writeFile(path, bytes));
        const std::optional<QString> read = readPropertyListString(path, "CFBundleIdentifier");
        QCOMPARE(read.has_value(), found);
        if (found)
            QCOMPARE(*read, value);
    }

    void propertyListThatIsNoFile()
    {
        QVERIFY(!readPropertyListString(dir_.path(), "CFBundleIdentifier"));
        QVERIFY(!readPropertyListString(dir_.path() + QStringLiteral("/missing"), "CFBundleIdentifier"));
    }
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "tst_leftovers.moc"
