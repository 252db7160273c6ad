// The process launcher: pipes, input, merged streams, launch failures.
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
    void inputIsFedWhileOutputDrains();
    void childThatIgnoresInputDoesNotHangOrKillUs();
    void mergedStreamsKeepOrder();
    void nullInputGivesEndOfFile();
    void streamingDeliversEveryByte();
    void argumentsArriveVerbatim();
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

void ProcessTest::inputIsFedWhileOutputDrains()
{
    // 8 MiB through cat: input and output both exceed pipe buffers at the same time.
    QByteArray input(8 * 1024 * 1024, 'q');
    ProcessRequest request;
    request.program = QStringLiteral("/bin/cat");
    request.input = input;
    const auto outcome = runProcess(request);
    QVERIFY(outcome.started);
    QCOMPARE(outcome.exitStatus, 0);
    QCOMPARE(outcome.standardOutput.size(), input.size());
    QCOMPARE(outcome.standardOutput, input);
}

void ProcessTest::childThatIgnoresInputDoesNotHangOrKillUs()
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), QStringLiteral("exec 0<&-; echo closed; exit 5")};
    request.input = QByteArray(4 * 1024 * 1024, 'z');
    const auto outcome = runProcess(request);
    QCOMPARE(outcome.exitStatus, 5);
    QCOMPARE(outcome.standardOutput, QByteArray("closed\n"));
}

void ProcessTest::mergedStreamsKeepOrder()
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), QStringLiteral("echo one; echo two >&2; echo three")};
    request.mergeOutput = true;
    const auto outcome = runProcess(request);
    QCOMPARE(outcome.standardOutput, QByteArray("one\ntwo\nthree\n"));
    QVERIFY(outcome.standardError.isEmpty());
}

void ProcessTest::nullInputGivesEndOfFile()
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/cat");
    request.nullInput = true;
    const auto outcome = runProcess(request);
    QCOMPARE(outcome.exitStatus, 0);
    QVERIFY(outcome.standardOutput.isEmpty());
}

void ProcessTest::streamingDeliversEveryByte()
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), QStringLiteral("head -c 3000000 /dev/zero | tr '\\0' a; echo err >&2")};
    QByteArray out, err;
    int chunks = 0;
    const auto outcome = platform::runProcessStreaming(request, [&](QByteArrayView chunk, bool isError) {
        ++chunks;
        (isError ? err : out).append(chunk.data(), chunk.size());
    });
    QCOMPARE(outcome.exitStatus, 0);
    QCOMPARE(out.size(), 3000000);
    QCOMPARE(err, QByteArray("err\n"));
    QVERIFY(chunks >= 2);
}

void ProcessTest::argumentsArriveVerbatim()
{
    const QStringList args{QStringLiteral("-c"), QStringLiteral("printf '%s|' \"$@\""), QStringLiteral("zero"),
                           QStringLiteral("a b"), QStringLiteral("$(x)"), QString(), QStringLiteral("白")};
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = args;
    QCOMPARE(runProcess(request).standardOutput, QStringLiteral("a b|$(x)||白|").toUtf8());
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
