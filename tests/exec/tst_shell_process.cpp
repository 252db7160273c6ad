// The command runner against real zsh processes.
#include "exec/Shell.h"
#include "support/FakeCommandRunner.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <qcoro/qcorotask.h>

#include <atomic>

class ShellProcessTest : public QObject {
    Q_OBJECT

private slots:
    void resultFields_data();
    void resultFields();
    void unicodeWhitespaceIsTrimmedInnerKept();
    void invalidUtf8EmptiesOnlyThatStream();
    void bothStreamsDrainWhileRunning();
    void lineIsHandedToZshUnchanged();
    void runAsyncRunsOffTheMainThreadAndResumesOnIt();
    void manyAsyncCommandsAtOnce();
    void fakeRunnerRecordsLinesAndRestoresTheRealOne();
};

void ShellProcessTest::resultFields_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("word and newline") << "echo hello" << "hello" << "" << 0;
    QTest::newRow("padded words, status 3")
        << "printf '   first  \\n'; printf '\\t second \\n' >&2; exit 3" << "first" << "second" << 3;
    QTest::newRow("only blank lines") << "printf '\\n\\n   \\n\\n'" << "" << "" << 0;
    QTest::newRow("inner whitespace kept") << "printf 'a  b\\n\\nc\\n'" << "a  b\n\nc" << "" << 0;
    QTest::newRow("command not found") << "definitely-not-a-command-tessarin" << ""
                                       << "zsh:1: command not found: definitely-not-a-command-tessarin" << 127;
    QTest::newRow("killed by a signal") << "kill -9 $$" << "" << "" << 9;
    QTest::newRow("japanese and emoji") << "echo 'キャッシュ削除 🩺'" << "キャッシュ削除 🩺" << "" << 0;
}

void ShellProcessTest::resultFields()
{
    QFETCH(QString, command);
    const ShellResult result = Shell::run(command);
    QTEST(result.output, "output");
    QTEST(result.error, "error");
    QTEST(result.exitCode, "exitCode");
}

void ShellProcessTest::unicodeWhitespaceIsTrimmedInnerKept()
{
    // Ideographic space, no-break space, line separator, next line and CR around the word.
    const ShellResult result = Shell::run(QStringLiteral("printf '\\u3000\\u00a0\\u2028 a\\u3000b \\u0085\\r\\n'"));
    QCOMPARE(result.output, QStringLiteral("a\u3000b"));
}

void ShellProcessTest::invalidUtf8EmptiesOnlyThatStream()
{
    const ShellResult result = Shell::run(QStringLiteral("printf 'ok \\xff\\xfe bad'; printf 'diagnostic' >&2; exit 4"));
    QCOMPARE(result.output, QString());
    QCOMPARE(result.error, QStringLiteral("diagnostic"));
    QCOMPARE(result.exitCode, 4);

    // A truncated multi-byte sequence at the very end is invalid too.
    QCOMPARE(Shell::run(QStringLiteral("printf 'abc\\xe3\\x81'")).output, QString());
    // An overlong encoding of "/" must not decode to "/".
    QCOMPARE(Shell::run(QStringLiteral("printf '\\xc0\\xaf'")).output, QString());
}

void ShellProcessTest::bothStreamsDrainWhileRunning()
{
    // 64 MiB to each stream: far beyond a pipe's buffer, so reading only after exit would deadlock.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("blob"));
    QVERIFY(Shell::run(QStringLiteral("head -c 67108864 /dev/zero | tr '\\0' 'x' > '%1'").arg(file)).exitCode == 0);
    const ShellResult result = Shell::run(QStringLiteral("cat '%1'; cat '%1' >&2; echo done >&2").arg(file));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.output.size(), 64 * 1024 * 1024);
    QCOMPARE(result.error.size(), 64 * 1024 * 1024 + 4);
    QVERIFY(result.error.endsWith(QLatin1String("xdone")));
}

void ShellProcessTest::lineIsHandedToZshUnchanged()
{
    // Pipes, globs, "~", variables and ";" are the shell's to interpret.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString line = QStringLiteral("cd '%1' && touch b.txt a.txt && print -l *.txt | tr 'a-z' 'A-Z'; X=7; echo $X; echo ~ | grep -c /")
                             .arg(dir.path());
    QCOMPARE(Shell::run(line).output, QStringLiteral("A.TXT\nB.TXT\n7\n1"));
}

void ShellProcessTest::runAsyncRunsOffTheMainThreadAndResumesOnIt()
{
    FakeCommandRunner fake;
    std::atomic<QThread*> ranOn{nullptr};
    fake.otherwise([&](const QString& line) {
        ranOn = QThread::currentThread();
        return ShellResult{line.toUpper(), QString(), 0};
    });

    QThread* resumedOn = nullptr;
    ShellResult got;
    bool finished = false;
    auto task = [&]() -> QCoro::Task<> {
        QString line = QStringLiteral("echo hi");
        got = co_await Shell::runAsync(std::move(line));
        resumedOn = QThread::currentThread();
        finished = true;
    };
    task();
    QVERIFY(!finished);   // the caller was suspended, not blocked
    QTRY_VERIFY(finished);
    QCOMPARE(got.output, QStringLiteral("ECHO HI"));
    QVERIFY(ranOn.load() != QCoreApplication::instance()->thread());
    QCOMPARE(resumedOn, QCoreApplication::instance()->thread());
}

void ShellProcessTest::manyAsyncCommandsAtOnce()
{
    constexpr int count = 150;
    QList<ShellResult> results(count);
    int done = 0;
    for (int i = 0; i < count; ++i) {
        [](int index, QList<ShellResult>& out, int& counter) -> QCoro::Task<> {
            QString line = QStringLiteral("sleep 0.0%1; echo %2").arg(index % 10).arg(index);
            out[index] = co_await Shell::runAsync(std::move(line));
            ++counter;
        }(i, results, done);
    }
    QTRY_COMPARE_WITH_TIMEOUT(done, count, 60000);
    for (int i = 0; i < count; ++i)
        QCOMPARE(results[i].output, QString::number(i));
}

void ShellProcessTest::fakeRunnerRecordsLinesAndRestoresTheRealOne()
{
    {
        FakeCommandRunner fake;
        fake.on(QStringLiteral("du -sk \"/x\""), {QStringLiteral("12\t/x"), QString(), 0});
        fake.onMatch(QRegularExpression(QStringLiteral("^df ")), {QStringLiteral("disk"), QString(), 0});
        QCOMPARE(Shell::run(QStringLiteral("du -sk \"/x\"")).output, QStringLiteral("12\t/x"));
        QCOMPARE(Shell::run(QStringLiteral("df -h /")).output, QStringLiteral("disk"));
        QCOMPARE(Shell::run(QStringLiteral("unknown")), ShellResult{});
        QCOMPARE(fake.commands(), (QStringList{QStringLiteral("du -sk \"/x\""), QStringLiteral("df -h /"),
                                               QStringLiteral("unknown")}));
    }
    QCOMPARE(Shell::run(QStringLiteral("echo real")).output, QStringLiteral("real"));
}

QTEST_GUILESS_MAIN(ShellProcessTest)
#include "tst_shell_process.moc"
