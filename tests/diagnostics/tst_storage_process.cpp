// The storage scan for real: zsh, du, find and the df stand-in over a scratch home folder
// whose large files carry hostile names.
#include "diagnostics/StorageModel.h"
#include "platform/StandIns.h"
#include "support/FakePrivileged.h"
#include "support/ScriptedFileManager.h"

#include <QTemporaryDir>
#include <QtTest>

class StorageProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!platform::installStandInPath().isEmpty()); }

    void scanReadsTheMachineAndKeepsHostileNamesWhole()
    {
        QTemporaryDir tmp;
        const QString home = tmp.filePath("home");
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", home.toUtf8());
        ScriptedFileManager files(home, tmp.filePath("T/"));
        // Sparse files: find judges the length, du the blocks, so they measure 0 MB.
        const QStringList large{"Movies/q'uote.mov", "Downloads/-rf --help.iso", "Downloads/dq\"x $(touch pwned).zip",
                                "back\\slash.mp3", "Desktop/tab\tname.mp4", "line\nfeed.mp4", "folder\nwith/inner.mov"};
        for (const QString& name : large + QStringList{"Documents/small.bin"}) {
            QFile file(home + "/" + name);
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(name.endsWith(".bin") ? 1 : 101 * 1024 * 1024));
        }
        QFile real(home + "/Documents/real.bin");   // 2 MiB of blocks
        QVERIFY(real.open(QIODevice::WriteOnly) && real.write(QByteArray(2 * 1024 * 1024, 'x')) > 0);
        real.close();

        auto model = std::make_shared<StorageModel>();
        settle(model->scan());
        qputenv("HOME", savedHome);

        QStringList found;
        for (const LargeFile& file : model->largeFiles())
            found << file.path.mid(home.size() + 1);
        found.sort();
        // The tab name is left out by the list's rule, the line-feed names by the search.
        QCOMPARE(found, (QStringList{"Downloads/-rf --help.iso", "Downloads/dq\"x $(touch pwned).zip", "Movies/q'uote.mov", "back\\slash.mp3"}));
        QVERIFY(!QFile::exists(home + "/Downloads/pwned") && !QFile::exists("pwned"));
        QVERIFY2(model->totalGB() > 0 && model->freeGB() > 0 && model->freeGB() <= model->totalGB(), "df -g read the volume");
        const auto documents = std::find_if(model->items().cbegin(), model->items().cend(), [](const StorageItem& i) { return i.name == "書類"; });
        QCOMPARE(documents->sizeMB, 3.0);   // du -m rounds each file's blocks up
        QCOMPARE(model->items().first().name, "書類");
    }
};

QTEST_GUILESS_MAIN(StorageProcessTest)
#include "tst_storage_process.moc"
