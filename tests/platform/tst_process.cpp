// The process launcher: pipes, input, merged streams, launch failures, inherited descriptors.
#include "platform/Process.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using platform::ProcessRequest;
using platform::runProcess;

class ProcessTest : public QObject {
    Q_OBJECT
private slots:
    void launchFailureIsReported_data();
    void launchFailureIsReported();
    void streams_data();
    void streams();
    void inputEndsWhileOtherThreadsStartLongRunningChildren();
};

void ProcessTest::launchFailureIsReported_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("missing") << QStringLiteral("/nonexistent/tessarin-tool");
    QTest::newRow("not executable") << QStringLiteral("/etc/hostname");
    QTest::newRow("directory") << QStringLiteral("/tmp");
}

void ProcessTest::launchFailureIsReported()
{
    QFETCH(QString, program);
    ProcessRequest request;
    request.program = program;
    const auto outcome = runProcess(request);
    QVERIFY(!outcome.started);
    QCOMPARE(outcome.exitStatus, -1);
    QVERIFY2(!outcome.launchError.isEmpty(), "the system's description of the failure");
}

void ProcessTest::streams_data()
{
    QTest::addColumn<QStringList>("arguments");   // of /bin/sh; empty: /bin/cat
    QTest::addColumn<QByteArray>("input");        // "null": /dev/null; empty: inherited
    QTest::addColumn<bool>("merge");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("status");
    // 8 MiB through cat: input and output both exceed pipe buffers at the same time.
    const QByteArray big(8 * 1024 * 1024, 'q');
    QTest::newRow("input fed while output drains") << QStringList() << big << false << big << 0;
    QTest::newRow("child ignoring its input neither hangs nor kills us")
        << QStringList{"-c", "exec 0<&-; echo closed; exit 5"} << QByteArray(4 * 1024 * 1024, 'z') << false
        << QByteArray("closed\n") << 5;
    QTest::newRow("merged streams keep their order")
        << QStringList{"-c", "echo one; echo two >&2; echo three"} << QByteArray() << true << QByteArray("one\ntwo\nthree\n") << 0;
    QTest::newRow("null input gives end of file") << QStringList() << QByteArray("null") << false << QByteArray() << 0;
    QTest::newRow("arguments arrive verbatim")
        << QStringList{"-c", "printf '%s|' \"$@\"", "zero", "a b", "$(x)", "", "白"} << QByteArray() << false
        << QStringLiteral("a b|$(x)||白|").toUtf8() << 0;
}

void ProcessTest::streams()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(bool, merge);
    ProcessRequest request;
    request.program = arguments.isEmpty() ? QStringLiteral("/bin/cat") : QStringLiteral("/bin/sh");
    request.arguments = arguments;
    request.nullInput = input == "null";
    if (!input.isEmpty() && !request.nullInput)
        request.input = input;
    request.mergeOutput = merge;
    const auto outcome = runProcess(request);
    QVERIFY(outcome.started);
    QTEST(outcome.exitStatus, "status");
    QTEST(outcome.standardOutput, "out");
    QVERIFY(outcome.standardError.isEmpty());
}

void ProcessTest::inputEndsWhileOtherThreadsStartLongRunningChildren()
{
    // While other threads keep starting children that live for five seconds, a child that
    // reads its input to the end must still see the end at once: a long-lived child holding
    // a copy of the input pipe's write end would keep it waiting for those five seconds.
    constexpr int spawners = 8;
    constexpr int childrenEach = 16;
    std::atomic<int> spawning{spawners};
    std::vector<std::thread> threads;
    for (int t = 0; t < spawners; ++t) {
        threads.emplace_back([&spawning] {
            ProcessRequest sleeper;
            sleeper.program = QStringLiteral("/bin/sh");
            sleeper.arguments = {QStringLiteral("-c"), QStringLiteral("sleep 5 </dev/null >/dev/null 2>&1 &")};
            sleeper.nullInput = true;
            for (int i = 0; i < childrenEach; ++i)
                runProcess(sleeper);
            --spawning;
        });
    }
    ProcessRequest reader;
    reader.program = QStringLiteral("/bin/cat");
    reader.input = QByteArray(64 * 1024, 'r');
    qint64 slowest = 0;
    int runs = 0;
    bool allRead = true;
    do {
        QElapsedTimer timer;
        timer.start();
        allRead = allRead && runProcess(reader).standardOutput == *reader.input;
        slowest = std::max(slowest, timer.elapsed());
        ++runs;
    } while (spawning > 0 || runs < 20);
    for (std::thread& thread : threads)
        thread.join();
    QVERIFY(allRead);
    QVERIFY2(slowest < 2500, qPrintable(QStringLiteral("slowest run took %1 ms").arg(slowest)));
}

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
