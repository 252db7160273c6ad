#include "cleanup/InstalledApp.h"
#include "support/TempTree.h"

#include <QtTest>

class LeftoversTest : public QObject {
    Q_OBJECT

private slots:
    // A value that would make a leftover of a whole folder contributes nothing; the other side still does.
    void usableComponents()
    {
        const QStringList unusable = {"", "   ", "\n\t \n", "com/example", "/etc", ".", "..", "  ..\n", "\t. ", QString::fromUtf8("..\0x", 4)};
        for (const QString& value : unusable) {
            QCOMPARE(InstalledApp::leftoverCandidates("Foo", value, "/H", "/L"),
                     (QStringList{"/H/Library/Application Support/Foo", "/L/Application Support/Foo"}));
            QCOMPARE(InstalledApp::leftoverCandidates(value, "b", "/H", "/L").size(), 9);
        }
        const std::pair<QString, QString> usable[] = {{"\n Foo \r\n", "Foo"}, {"\u3000Foo\u3000", "Foo"}, {" Google Chrome ", "Google Chrome"},
                                                      {"...", "..."}, {".hidden", ".hidden"}, {"*", "*"}};
        for (const auto& [value, expected] : usable)
            QCOMPARE(InstalledApp::usableComponent(value), std::optional<QString>(expected));
    }

    void leftoversAreTheCandidatesThatExist()
    {
        TempTree t;
        const QString support = t.home + "/Library/Application Support/Foo", caches = t.home + "/Library/Caches/com.example.foo";
        const QString prefs = t.library + "/Preferences/com.example.foo.plist";
        // Near misses are no match: no prefixes, no case folding, no globbing; a dangling link is nothing.
        QVERIFY(t.make({prefs, caches + "/", support + "/", caches + ".helper/", t.home + "/Library/Caches/COM.EXAMPLE.FOO/",
                        t.home + "/Library/Preferences/com.example.foo.plist.bak"}));
        QVERIFY(QFile::link(t.root + "/nowhere", t.home + "/Library/Caches/com.x"));
        QCOMPARE(InstalledApp::leftovers(" Foo ", "com.example.foo"), (QStringList{support, caches, prefs}));
        QVERIFY(InstalledApp::leftovers("X", "com.x").isEmpty() && InstalledApp::leftovers("..", "..").isEmpty());
    }

    void namesAndIdentifiers()
    {
        const std::tuple<QString, QString, QString> paths[] = {
            {"/Applications/Safari.app", "Safari.app", "Safari"}, {"/Applications/Foo.bar.app", "Foo.bar.app", "Foo.bar"},
            {"/Applications/Bob's App.app", "Bob's App.app", "Bob's App"}, {"/Applications/.app", ".app", ".app"},
            {"/Applications/...app", "...app", ".."}, {"/Applications/Foo.app//", "Foo.app", "Foo"}, {"Foo", "Foo", "Foo"}};
        for (const auto& [path, component, name] : paths) {
            QCOMPARE(lastPathComponent(path), component);
            QCOMPARE(InstalledApp::nameFromPath(path), name);
        }
        const std::pair<QString, QString> names[] = {{"Google Chrome", "google.chrome"}, {"A  B", "a..b"},
                                                     {"ÄPFEL Saft", "äpfel.saft"}, {"A\tB", "a\tb"}};   // a tab is no blank
        for (const auto& [name, identifier] : names)
            QCOMPARE(InstalledApp::fallbackBundleID(name), identifier);
        QCOMPARE(QList<bool>({isInsideHome("/Users/u/Library/x", "/Users/u"), isInsideHome("/Users/u", "/Users/u"), isInsideHome("/Users/uu/Library", "/Users/u"),
                              isInsideHome("/Library/x", "/Users/u"), isInsideHome("/Library/x", "")}), QList<bool>({true, true, false, false, false}));
    }
};

QTEST_GUILESS_MAIN(LeftoversTest)
#include "tst_leftovers.moc"
