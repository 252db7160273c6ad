#include "diagnostics/SysInfoModel.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The report's rows as "section/key: value", in order.
QStringList rowsOf(const QList<InfoSection>& sections)
{
    QStringList rows;
    for (const InfoSection& section : sections)
        for (const InfoRow& row : section.rows)
            rows << section.title + "/" + row.key + ": " + row.value;
    return rows;
}

} // namespace

class SysInfoTest : public QObject {
    Q_OBJECT

private slots:
    void rowsReadOutputsWithFallbacks_data()
    {
        QTest::addColumn<int>("command");   // 1-based, as the outputs are read
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("row");
        QTest::newRow("memory in bytes") << 3 << "17179869184" << "⚙️ CPU / メモリ/総メモリ: 16.0 GB";
        QTest::newRow("memory not a number") << 3 << "abc" << "⚙️ CPU / メモリ/総メモリ: 0.0 B";
        QTest::newRow("no GPU") << 7 << "" << "🎮 GPU / ディスプレイ/GPU情報: N/A";
        QTest::newRow("no battery") << 9 << "" << "🌡 温度 / 電力/バッテリー: デスクトップ / N/A";
        QTest::newRow("AC only, shown unchanged") << 9 << "Now drawing from 'AC Power'" << "🌡 温度 / 電力/バッテリー: Now drawing from 'AC Power'";
        QTest::newRow("no Homebrew") << 11 << "" << "🛠 開発ツール/Homebrew: 未インストール";
    }
    void rowsReadOutputsWithFallbacks()
    {
        QFETCH(int, command);
        QFETCH(QString, output);
        QFETCH(QString, row);
        QStringList outputs(13);
        outputs[command - 1] = output;
        QVERIFY2(rowsOf(SysInfoModel::sections(outputs)).contains(row), qPrintable(rowsOf(SysInfoModel::sections(outputs)).join('\n')));
    }

    // All thirteen lines are running before any answers; the report is built once all are back.
    void loadRunsAllAtOnceAndBuildsTheReport()
    {
        FakeCommandRunner shell;
        QSemaphore started, gate;
        shell.otherwise([&](const QString& line) {
            started.release();
            gate.acquire();
            const int n = SysInfoModel::commands().indexOf(line) + 1;
            return ShellResult{n == 1 ? "ProductName:\t\tmacOS\nProductVersion:\t\t14.2" : n == 3 ? "8589934592" : "", {}, 0};
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
                 "=== ⚙️ CPU / メモリ ===\nCPU: \n総メモリ: 8.0 GB\nメモリプレッシャー: \n\n"
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

    // A write that cannot finish leaves the old report whole.
    void writeIsAllOrNothing()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath("r.txt");
        QVERIFY(SysInfoModel::writeReport(path, "old"));
        QVERIFY(SysInfoModel::writeReport(path, "新しい\nレポート"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), "新しい\nレポート");
        QVERIFY(!SysInfoModel::writeReport(tmp.filePath("missing/r.txt"), "x"));
    }
};

QTEST_GUILESS_MAIN(SysInfoTest)
#include "tst_sysinfo.moc"
