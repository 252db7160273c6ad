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
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QByteArray>("input");   // "null": /dev/null; empty: inherited
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("status");         // -1: not started, with the system's description
        const QString sh = QStringLiteral("/bin/sh");
        // Input and output both exceed pipe buffers at the same time.
        const QByteArray big(8 * 1024 * 1024, 'q');
        QTest::newRow("input fed while output drains") << QStringList{"/bin/cat"} << big << false << big << 0;
        QTest::newRow("child ignoring its input neither hangs nor kills us")
            << QStringList{sh, "-c", "exec 0<&-; echo closed; exit 5"} << QByteArray(4 * 1024 * 1024, 'z') << false << QByteArray("closed\n") << 5;
        QTest::newRow("merged streams keep their order")
            << QStringList{sh, "-c", "echo one; echo two >&2; echo three"} << QByteArray() << true << QByteArray("one\ntwo\nthree\n") << 0;
        QTest::newRow("null input gives end of file") << QStringList{"/bin/cat"} << QByteArray("null") << false << QByteArray() << 0;
        QTest::newRow("arguments arrive verbatim") << QStringList{sh, "-c", "printf '%s|' \"$@\"", "zero", "a b", "$(x)", "", "白"}
                                                   << QByteArray() << false << QStringLiteral("a b|$(x)||白|").toUtf8() << 0;
        for (const char* program : {"/nonexistent/tessarin-tool", "/etc/hostname", "/tmp"})
            QTest::addRow("cannot start %s", program) << QStringList{program} << QByteArray() << false << QByteArray() << -1;
    }
    void streams()
    {
        QFETCH(QStringList, command);
        QFETCH(QByteArray, input);
        QFETCH(bool, merge);
        QFETCH(int, status);
        const QString program = command.takeFirst();
        const bool null = input == "null";
        const auto outcome = runProcess({program, command, input.isEmpty() || null ? std::nullopt : std::optional(input), null, merge});
        QTEST(outcome.standardOutput, "out");
        QCOMPARE(std::tuple(outcome.exitStatus, outcome.standardError, outcome.started, outcome.launchError.isEmpty()),
                 std::tuple(status, QByteArray(), status >= 0, status >= 0));
    }

    // While other threads keep starting children that live for five seconds, a child reading its
    // input to the end still sees the end at once: no long-lived child may hold the pipe's write end.
    void inputEndsWhileOtherThreadsStartLongRunningChildren()
    {
        std::atomic<int> spawning{8};
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&spawning] {
                for (int i = 0; i < 16; ++i)
                    runProcess({QStringLiteral("/bin/sh"), {"-c", "sleep 5 </dev/null >/dev/null 2>&1 &"}, std::nullopt, true});
                --spawning;
            });
        const ProcessRequest reader{QStringLiteral("/bin/cat"), {}, QByteArray(64 * 1024, 'r')};
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
