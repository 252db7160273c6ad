#include "cleanup/DirectoryCleaner.h"
#include "platform/FileManager.h"
#include "support/ScriptedFileManager.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& contents = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// Every entry below `root` (links not followed), relative, with file contents.
QStringList listing(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        QString line = QDir(root).relativeFilePath(path);
        if (info.isSymLink())
            line += QStringLiteral(" -> ") + info.symLinkTarget();
        else if (info.isFile()) {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                line += QStringLiteral(" = ") + QString::fromUtf8(f.readAll());
        }
        entries << line;
    }
    entries.sort();
    return entries;
}

bool setImmutable(const QString& path, bool on)
{
    return QProcess::execute(QStringLiteral("chattr"), {on ? QStringLiteral("+i") : QStringLiteral("-i"), path}) == 0;
}

} // namespace

class DirectoryCleanerTest : public QObject {
    Q_OBJECT

private slots:
    void emptiesNestedTreeWithoutLeavingIt()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/Caches";
        const QString outside = tmp.path() + "/Outside";
        writeFile(root + "/a.txt");
        writeFile(root + "/.hidden");
        writeFile(root + "/sub/b");
        writeFile(root + "/sub/.c");
        writeFile(root + "/sub/deeper/d");
        QDir().mkpath(root + "/emptydir");
        writeFile(outside + "/keep", "precious");
        writeFile(outside + "/nested/keep2", "also");
        QVERIFY(QFile::link(outside, root + "/dirlink"));
        QVERIFY(QFile::link(outside + "/keep", root + "/filelink"));
        QVERIFY(QFile::link(tmp.path() + "/nowhere", root + "/dangling"));
        const QStringList outsideBefore = listing(outside);

        const CleanCounts counts = DirectoryCleaner(platform::FileManager::systemDefault()).emptyDirectory(root);

        // a.txt, .hidden, sub (b, .c, deeper (d)), emptydir, three links
        QCOMPARE(counts, (CleanCounts{11, 0, false}));
        QVERIFY(QFileInfo(root).isDir());
        QCOMPARE(listing(root), QStringList());
        QCOMPARE(listing(outside), outsideBefore);
    }

    void linkedChosenDirectoryIsRefused()
    {
        QTemporaryDir tmp;
        writeFile(tmp.path() + "/real/keep");
        QVERIFY(QFile::link(tmp.path() + "/real", tmp.path() + "/alias"));
        const CleanCounts counts = DirectoryCleaner(platform::FileManager::systemDefault()).emptyDirectory(tmp.path() + "/alias");
        QVERIFY(counts.refused);
        QCOMPARE(counts.deleted, 0);
        QVERIFY(QFile::exists(tmp.path() + "/real/keep"));
    }

    void refusesWhatItMustNotTouch_data()
    {
        QTest::addColumn<QString>("relative");   // "@" is replaced by the temporary directory
        QTest::newRow("empty") << "";
        QTest::newRow("relative") << "some/dir";
        QTest::newRow("root") << "/";
        QTest::newRow("home") << "@/home";
        QTest::newRow("home with slash") << "@/home/";
        QTest::newRow("dot dot") << "@/home/Library/../Library";
        QTest::newRow("dot") << "@/home/./Library";
        QTest::newRow("double slash") << "@/home//Library";
        QTest::newRow("missing") << "@/home/Nothing";
        QTest::newRow("a file") << "@/home/file";
    }
    void refusesWhatItMustNotTouch()
    {
        QFETCH(QString, relative);
        QTemporaryDir tmp;
        writeFile(tmp.path() + "/home/Library/x");
        writeFile(tmp.path() + "/home/file");
        const QStringList before = listing(tmp.path());
        ScriptedFileManager files(tmp.path() + "/home", tmp.path() + "/t/");
        const QString path = QString(relative).replace("@", tmp.path());
        const DirectoryCleaner cleaner(files);
        QVERIFY(!cleaner.mayEmpty(path));
        QCOMPARE(cleaner.emptyDirectory(path), (CleanCounts{0, 0, true}));
        QCOMPARE(listing(tmp.path()), before);
    }

    void sharedTemporaryAreasAreRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("tmp") << "/tmp";
        QTest::newRow("tmp with slash") << "/tmp/";
        QTest::newRow("var tmp") << "/var/tmp";
        QTest::newRow("private tmp") << "/private/tmp";
        QTest::newRow("dev shm") << "/dev/shm/";
    }
    void sharedTemporaryAreasAreRefused()
    {
        QFETCH(QString, path);
        const DirectoryCleaner cleaner(platform::FileManager::systemDefault());
        QVERIFY(!cleaner.mayEmpty(path));   // checked only: nothing is emptied
    }

    void trailingSlashIsTheSameDirectory()
    {
        QTemporaryDir tmp;
        writeFile(tmp.path() + "/t/one");
        writeFile(tmp.path() + "/t/two/three");
        const CleanCounts counts = DirectoryCleaner(platform::FileManager::systemDefault()).emptyDirectory(tmp.path() + "/t/");
        QCOMPARE(counts, (CleanCounts{3, 0, false}));
        QCOMPARE(listing(tmp.path()), QStringList{"t"});
    }

    void immutableEntriesAreCountedAsSkipped()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/c";
        writeFile(root + "/one");
        writeFile(root + "/two");
        writeFile(root + "/three");
        writeFile(root + "/locked", "kept");
        writeFile(root + "/sub/inner-locked", "kept too");
        writeFile(root + "/sub/removable");
        if (!setImmutable(root + "/locked", true))
            QSKIP("chattr +i is not available on this file system");
        QVERIFY(setImmutable(root + "/sub/inner-locked", true));
        const CleanCounts counts = DirectoryCleaner(platform::FileManager::systemDefault()).emptyDirectory(root);
        setImmutable(root + "/locked", false);
        setImmutable(root + "/sub/inner-locked", false);
        // one, two, three, sub/removable removed; locked, sub/inner-locked and sub itself stay
        QCOMPARE(counts, (CleanCounts{4, 3, false}));
        QCOMPARE(listing(root), (QStringList{"locked = kept", "sub", "sub/inner-locked = kept too"}));
    }

    void threeRemovableAndOneProtected()
    {
        QTemporaryDir tmp;
        const QString root = tmp.path() + "/c";
        for (const char* name : {"a", "b", "c", "protected"})
            writeFile(root + "/" + name);
        ScriptedFileManager files(tmp.path(), tmp.path() + "/t/");
        files.undeletable = {root + "/protected"};
        QCOMPARE(DirectoryCleaner(files).emptyDirectory(root), (CleanCounts{3, 1, false}));
        QCOMPARE(listing(root), QStringList{"protected = x"});
    }

    void emptyDirectoryCountsNothing()
    {
        QTemporaryDir tmp;
        QCOMPARE(DirectoryCleaner(platform::FileManager::systemDefault()).emptyDirectory(tmp.path()), (CleanCounts{0, 0, false}));
        QVERIFY(QFileInfo(tmp.path()).isDir());
    }

    void linkAlongPath()
    {
        QTemporaryDir tmp;
        QDir().mkpath(tmp.path() + "/real/inner");
        QVERIFY(QFile::link(tmp.path() + "/real", tmp.path() + "/alias"));
        const DirectoryCleaner cleaner(platform::FileManager::systemDefault());
        QVERIFY(!cleaner.hasLinkAlongPath(tmp.path() + "/real/inner"));
        QVERIFY(!cleaner.hasLinkAlongPath(tmp.path() + "/real/inner/"));
        QVERIFY(!cleaner.hasLinkAlongPath(tmp.path() + "/real/missing"));
        QVERIFY(cleaner.hasLinkAlongPath(tmp.path() + "/alias/inner"));
        QVERIFY(cleaner.hasLinkAlongPath(tmp.path() + "/alias"));
        QVERIFY(cleaner.hasLinkAlongPath(tmp.path() + "/real/../alias"));
        QVERIFY(cleaner.hasLinkAlongPath("relative/path"));
    }
};

QTEST_GUILESS_MAIN(DirectoryCleanerTest)
#include "tst_directorycleaner.moc"
