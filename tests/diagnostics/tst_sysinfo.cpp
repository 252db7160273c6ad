#include "diagnostics/SysInfoModel.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

class SysInfoTest : public QObject {
    Q_OBJECT

private slots:
    // All thirteen lines are running before any answers; the report is built once all are back,
    // with each section's fallback for a silent tool and 0 bytes for a size that is no number.
    void loadRunsAllAtOnceAndBuildsTheReport()
    {
        FakeCommandRunner shell;
        QSemaphore started, gate;
        shell.otherwise([&](const QString& line) {
            started.release();
            gate.acquire();
            const int n = SysInfoModel::commands().indexOf(line) + 1;
            return ShellResult{n == 1 ? "ProductName:\t\tmacOS\nProductVersion:\t\t14.2" : n == 3 ? "abc" : "", {}, 0};
        });
        auto model = std::make_shared<SysInfoModel>();
        AppearanceScope scope;
        QCoro::Task<> load = SysInfoModel::load(model, scope.ticket());
        QVERIFY(started.tryAcquire(13, 5000));
        QVERIFY(model->isLoading() && model->info().isEmpty());
        gate.release(13);
        QCoro::waitFor(std::move(load));
        QStringList lines = shell.commands();
        lines.sort();
        QStringList expected = SysInfoModel::commands();
        expected.sort();
        QCOMPARE(lines, expected);
        QVERIFY(!model->isLoading());
        QCOMPARE(model->reportText(),
                 "=== 🖥 OS ===\nバージョン情報: ProductName:\t\tmacOS\nProductVersion:\t\t14.2\n稼働時間: \n\n"
                 "=== ⚙️ CPU / メモリ ===\nCPU: \n総メモリ: 0.0 B\nメモリプレッシャー: \n\n"
                 "=== 💾 ストレージ ===\nルートディスク: \n\n"
                 "=== 🎮 GPU / ディスプレイ ===\nGPU情報: N/A\n\n"
                 "=== 🌡 温度 / 電力 ===\nサーマル状態: 情報なし\nバッテリー: デスクトップ / N/A\n\n"
                 "=== 🛠 開発ツール ===\nXcode: 未インストール\nHomebrew: 未インストール\nNode.js: 未インストール\nPython: 未インストール");
    }

    void proposedNameIsUtcWithoutFractions()
    {
        const QDateTime tokyo(QDate(2026, 12, 6), QTime(2, 40, 11, 250), QTimeZone("Asia/Tokyo"));
        QCOMPARE(SysInfoModel::proposedFileName(tokyo), "Tessarin-Report-2026-12-05T17:40:11Z.txt");
    }

    // A write that cannot finish says so (replacing a report is shown by the view test).
    void writeIntoAMissingFolderFails()
    {
        QTemporaryDir tmp;
        QVERIFY(!SysInfoModel::writeReport(tmp.filePath("missing/r.txt"), "x"));
    }
};

QTEST_GUILESS_MAIN(SysInfoTest)
#include "tst_sysinfo.moc"
