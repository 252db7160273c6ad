// The process launcher: pipes, input, merged streams, launch failures, inherited descriptors.
#include "platform/Process.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using platform::ProcessRequest;
using platform::runProcess;

class ProcessTest : public QObject {
    Q_OBJECT
private slots:
    void streams_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");   // "null": /dev/null; empty: inherited
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("status");         // -1: not started, with the system's description
        const QString sh = QStringLiteral("/bin/sh");
        // 8 MiB through cat: input and output both exceed pipe buffers at the same time.
        const QByteArray big(8 * 1024 * 1024, 'q');
        QTest::newRow("input fed while output drains") << "/bin/cat" << QStringList() << big << false << big << 0;
        QTest::newRow("child ignoring its input neither hangs nor kills us")
            << sh << QStringList{"-c", "exec 0<&-; echo closed; exit 5"} << QByteArray(4 * 1024 * 1024, 'z') << false << QByteArray("closed\n") << 5;
        QTest::newRow("merged streams keep their order")
            << sh << QStringList{"-c", "echo one; echo two >&2; echo three"} << QByteArray() << true << QByteArray("one\ntwo\nthree\n") << 0;
        QTest::newRow("null input gives end of file") << "/bin/cat" << QStringList() << QByteArray("null") << false << QByteArray() << 0;
        QTest::newRow("arguments arrive verbatim") << sh << QStringList{"-c", "printf '%s|' \"$@\"", "zero", "a b", "$(x)", "", "白"}
                                                   << QByteArray() << false << QStringLiteral("a b|$(x)||白|").toUtf8() << 0;
        QTest::newRow("missing program") << "/nonexistent/tessarin-tool" << QStringList() << QByteArray() << false << QByteArray() << -1;
        QTest::newRow("not executable") << "/etc/hostname" << QStringList() << QByteArray() << false << QByteArray() << -1;
        QTest::newRow("directory") << "/tmp" << QStringList() << QByteArray() << false << QByteArray() << -1;
    }
    void streams()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        ProcessRequest request;
        QFETCH(QString, program);
        request.program = program;
        QFETCH(QStringList, arguments);
        request.arguments = arguments;
        request.nullInput = input == "null";
        if (!input.isEmpty() && !request.nullInput)
            request.input = input;
        QFETCH(bool, merge);
        request.mergeOutput = merge;
        const auto outcome = runProcess(request);
        QCOMPARE(outcome.exitStatus, status);
        QTEST(outcome.standardOutput, "out");
        QCOMPARE(outcome.standardError, QByteArray());
        QCOMPARE(outcome.started, status >= 0);
        QCOMPARE(outcome.launchError.isEmpty(), status >= 0);
    }

    void inputEndsWhileOtherThreadsStartLongRunningChildren()
    {
        // While other threads keep starting children that live for five seconds, a child that
        // reads its input to the end must still see the end at once: a long-lived child holding
        // a copy of the input pipe's write end would keep it waiting for those five seconds.
        std::atomic<int> spawning{8};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&spawning] {
                ProcessRequest sleeper;
                sleeper.program = QStringLiteral("/bin/sh");
                sleeper.arguments = {QStringLiteral("-c"), QStringLiteral("sleep 5 </dev/null >/dev/null 2>&1 &")};
                sleeper.nullInput = true;
                for (int i = 0; i < 16; ++i)
                    runProcess(sleeper);
                --spawning;
            });
        ProcessRequest reader;
        reader.program = QStringLiteral("/bin/cat");
        reader.input = QByteArray(64 * 1024, 'r');
        qint64 slowest = 0;
        bool allRead = true;
        for (int runs = 0; spawning > 0 || runs < 20; ++runs) {
            QElapsedTimer timer;
            timer.start();
            allRead = allRead && runProcess(reader).standardOutput == *reader.input;
            slowest = std::max(slowest, timer.elapsed());
        }
        for (std::thread& thread : threads)
            thread.join();
        QVERIFY(allRead);
        QVERIFY2(slowest < 2500, qPrintable(QStringLiteral("slowest run took %1 ms").arg(slowest)));
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
