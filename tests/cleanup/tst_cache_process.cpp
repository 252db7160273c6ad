#include "cleanup/CacheModel.h"
#include "diagnostics/DashboardModel.h"
#include "exec/OutputParsing.h"
#include "exec/Shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The measuring lines through the real zsh, du and awk.
class CacheProcessTest : public QObject {
    Q_OBJECT

private slots:
    void hostileDirectoryNamesAreMeasuredNotRun_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("dollar") << "a$(touch PWNED)b";
        QTest::newRow("double quote") << "a\"; touch PWNED; \"b";
        QTest::newRow("backtick") << "a`touch PWNED`b";
        QTest::newRow("backslash") << "a\\\"b";
        QTest::newRow("ordinary with blank") << "iOS DeviceSupport";
    }
    void hostileDirectoryNamesAreMeasuredNotRun()
    {
        QFETCH(QString, name);
        QTemporaryDir tmp;
        const QString dir = tmp.path() + "/" + name;
        QVERIFY(QDir().mkpath(dir));
        QFile file(dir + "/blob");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3 * 1024 * 1024, 'x'));
        file.close();
        const ShellResult result = Shell::run(CacheModel::sizeCommand({dir}));
        QVERIFY(!QFile::exists(tmp.path() + "/PWNED") && !QFile::exists("PWNED"));
        QCOMPARE(Shell::parseInteger(result.output).value_or(-1), qint64(3));
    }

    void junkLineWithHostileHome()
    {
        QTemporaryDir tmp;
        const QString home = tmp.path() + "/h$(touch PWNED)\"x";
        QVERIFY(QDir().mkpath(home + "/Library/Caches"));
        QFile file(home + "/Library/Caches/blob");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2 * 1024 * 1024, 'x'));
        file.close();
        const QString temporary = tmp.path() + "/t/";
        QVERIFY(QDir().mkpath(temporary));
        const ShellResult result = Shell::run(DashboardModel::junkCommand(home, temporary));
        QVERIFY(!QFile::exists(tmp.path() + "/PWNED") && !QFile::exists("PWNED"));
        // /private/tmp does not exist here; du's complaint is silenced and the rest still counts.
        QVERIFY(Shell::parseInteger(result.output).value_or(-1) >= 2);
    }

    void freeSpaceFromTheRealDf()
    {
        const ShellResult result = Shell::run(DashboardModel::dfCommand);
        QVERIFY(!result.output.isEmpty());
        QVERIFY(DashboardModel::diskFreeText(result.output).endsWith("B 空き"));
    }
};

QTEST_GUILESS_MAIN(CacheProcessTest)
#include "tst_cache_process.moc"
