// The demo sandbox's tree: its shape, the headers the scanner reads from it, and that making it
// afresh never takes a folder it did not make.
#include "cleanup/ArchScanner.h"
#include "demotree/DemoTree.h"
#include "platform/PropertyList.h"

#include <QTemporaryDir>
#include <QtTest>

class DemoTreeTest : public QObject {
    Q_OBJECT

private slots:
    void treeShapeAndHeaders()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + "/mac", home = root + "/Users/sora";
        QCOMPARE(DemoTree::generate(root, "sora"), QStringList());
        const QFileInfo movie(home + "/Movies/Holiday 2025.mov");
        QCOMPARE(movie.size(), 6LL << 30);
        const auto daemon = platform::PropertyList::read(root + "/Library/LaunchDaemons/com.orvelle.demo.daemon.plist");
        QVERIFY(daemon && daemon->string("Label") == "com.orvelle.demo.daemon");

        // The scanner lists exactly the Intel and PowerPC bundles, by the names their XML and
        // binary Info.plists give; the script and the truncated file are passed over.
        const ScanResult scan = ArchScanner::scan({root + "/Applications", root + "/System/Applications", home + "/Applications"});
        QStringList listed;
        for (const IntelOnlyApp& app : scan.intelApps)
            listed << app.name + " " + app.archLabel;
        listed.sort();
        QCOMPARE(scan.totalScanned, 17);
        QCOMPARE(listed, (QStringList{"$(touch pwned) x86_64", "-dash x86_64", "Classic Draw PowerPC", "Legacy Mixer x86_64",
                                      "Old Scanner x86_64 + i386", "Pocket Timer x86_64", "Quote's Tool x86_64"}));

        // Afresh on each start, unless asked to keep it; a folder it did not make is refused.
        QVERIFY(DemoTree::writeFile(home + "/Desktop/added.txt", "x"));
        QCOMPARE(DemoTree::generate(root, "sora", true), QStringList());
        QVERIFY(QFileInfo::exists(home + "/Desktop/added.txt"));
        QCOMPARE(DemoTree::generate(root, "sora"), QStringList());
        QVERIFY(!QFileInfo::exists(home + "/Desktop/added.txt") && QFileInfo::exists(home + "/Desktop"));
        const QString foreign = dir.path() + "/foreign";
        QVERIFY(DemoTree::writeFile(foreign + "/keep.txt", "x"));
        QCOMPARE(DemoTree::generate(foreign, "sora").size(), 1);
        QCOMPARE(QDir(foreign).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"keep.txt"});
        QCOMPARE(DemoTree::generate(root, "../x").size(), 1);
    }
};

QTEST_GUILESS_MAIN(DemoTreeTest)
#include "tst_demotree.moc"
