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
    }

    // Each line's total and free figures, as "total free" (7 3 when the line leaves them alone).
    void volumeLine()
    {
        const std::pair<const char*, const char*> rows[] = {
            {"/dev/disk3s1s1  460  250  180  59%  3.1M  1.8G  0%  /", "460 180"},   // the Mac's columns
            {"fs x 1 y", "0 0"},   // non-numbers give 0
            {"fs 460 250", "7 3"},   // three pieces: kept
        };
        for (const auto& [line, figures] : rows) {
            double total = 7, free = 3;
            StorageModel::parseVolume(line, &total, &free);
            QCOMPARE(QString::number(total) + " " + QString::number(free), figures);
        }
    }

    void largeFileLines()
    {
        const std::pair<const char*, QStringList> rows[] = {
            {"250\t/a/clip.mov\n\n300\t/a/b.zip", {"250 /a/clip.mov", "300 /a/b.zip"}},   // order kept
            {"250 /a/clip.mov", {}},   // no tab
        };
        for (const auto& [output, files] : rows) {
            QStringList parsed;
            for (const LargeFile& file : StorageModel::parseLargeFiles(output))
                parsed << QString::number(file.sizeMB) + " " + file.path;
            QCOMPARE(parsed, files);
        }
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
