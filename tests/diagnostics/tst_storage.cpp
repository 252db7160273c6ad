#include "diagnostics/StorageModel.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"
#include "support/ScriptedFileManager.h"

#include <QSemaphore>
#include <QtTest>

class StorageTest : public QObject {
    Q_OBJECT

private slots:
    // df first, the eight folders in table order (hostile home quoted), the large files last.
    void scanRunsItsCommandsInOrder()
    {
        ScriptedFileManager files("/Users/o'neil $x", "/tmp/T/");
        FakeCommandRunner shell;
        shell.on(StorageModel::dfCommand, {"/dev/disk3s1s1   460   250   180    59%  /", {}, 0});
        shell.onMatch(QRegularExpression("Music"), {"2048", {}, 0});
        shell.onMatch(QRegularExpression("Pictures"), {"2048", {}, 0});
        shell.onMatch(QRegularExpression("Library"), {"7.5", {}, 0});
        shell.on(StorageModel::largeFilesCommand, {"250\t/Users/a/Movies/clip.mov\n120\t/Users/a/x.iso", {}, 0});
        auto model = std::make_shared<StorageModel>();
        settle(model->scan());
        QStringList expected{StorageModel::dfCommand};
        expected << "du -sm '/Applications' 2>/dev/null | cut -f1";
        for (const char* folder : {"Documents", "Downloads", "Pictures", "Music", "Movies", "Library", "Desktop"})
            expected << "du -sm '/Users/o'\\''neil $x/" + QString(folder) + "' 2>/dev/null | cut -f1";
        expected << "    find ~ -type f -size +100M ! -path $'*\\n*' 2>/dev/null | head -50 | tr '\\n' '\\0'"
                    " | xargs -0 -I{} du -sm '{}' 2>/dev/null | sort -rn | head -30";
        QCOMPARE(shell.commands(), expected);
        QStringList order;   // largest first, equal sizes in table order, unparseable as 0
        for (const StorageItem& item : model->items())
            order << item.name + "=" + QString::number(item.sizeMB);
        QCOMPARE(order, (QStringList{"写真=2048", "音楽=2048", "ライブラリ=7.5", "アプリケーション=0", "書類=0", "ダウンロード=0",
                                     "ムービー=0", "デスクトップ=0"}));
        QCOMPARE(model->items()[0].path, "/Users/o'neil $x/Pictures");
        QVERIFY(model->totalGB() == 460 && model->freeGB() == 180 && !model->isScanning());
        QCOMPARE(model->largeFiles().size(), 2);
    }

    void volumeLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("total");
        QTest::addColumn<double>("free");
        QTest::newRow("mac columns") << "/dev/disk3s1s1  460  250  180  59%  3.1M  1.8G  0%  /" << 460.0 << 180.0;
        QTest::newRow("non-numbers give 0") << "fs x 1 y" << 0.0 << 0.0;
        QTest::newRow("three pieces: kept") << "fs 460 250" << 7.0 << 3.0;
    }
    void volumeLine()
    {
        QFETCH(QString, line);
        QFETCH(double, total);
        QFETCH(double, free);
        double t = 7, f = 3;
        StorageModel::parseVolume(line, &t, &f);
        QCOMPARE(t, total);
        QCOMPARE(f, free);
    }

    void largeFileLines_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("order kept") << "250\t/a/clip.mov\n\n300\t/a/b.zip" << QStringList{"250 /a/clip.mov", "300 /a/b.zip"};
        QTest::newRow("no tab") << "250 /a/clip.mov" << QStringList{};
        QTest::newRow("tab in the name") << "250\t/a/b\tc.mov" << QStringList{};
    }
    void largeFileLines()
    {
        QFETCH(QString, output);
        QFETCH(QStringList, files);
        QStringList parsed;
        for (const LargeFile& file : StorageModel::parseLargeFiles(output))
            parsed << QString::number(file.sizeMB) + " " + file.path;
        QCOMPARE(parsed, files);
    }

    void iconByExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("icon");
        QTest::newRow("upper case") << "/a/archive.TAR" << "archivebox.fill";
        QTest::newRow("film") << "/a/clip.mov" << "film.fill";
        QTest::newRow("none, dotted folder") << "/a.dmg/b" << "doc.fill";
    }
    void iconByExtension()
    {
        QFETCH(QString, path);
        QFETCH(QString, icon);
        QCOMPARE(StorageModel::iconFor(path), icon);
    }

    void leftScreenStopsTheScan()
    {
        ScriptedFileManager files("/home/u", "/tmp/T/");
        FakeCommandRunner shell;
        QSemaphore gate;
        shell.otherwise([&](const QString&) { return gate.acquire(), ShellResult{"1", {}, 0}; });
        auto model = std::make_shared<StorageModel>();
        AppearanceScope scope;
        QCoro::Task<> scan = StorageModel::appear(model, scope.ticket());
        scope.end();
        gate.release(20);
        QCoro::waitFor(std::move(scan));
        QCOMPARE(shell.commands(), QStringList{StorageModel::dfCommand});
    }
};

QTEST_GUILESS_MAIN(StorageTest)
#include "tst_storage.moc"
