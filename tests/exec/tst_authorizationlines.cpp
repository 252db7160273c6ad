// Line splitting of the streamed output of administrator runs.
#include "exec/PrivilegedStream.h"

#include <QtTest>

class TestAuthorizationLines : public QObject {
    Q_OBJECT
private slots:
    void splitsChunks_data();
    void splitsChunks();
    void everySplitPointOfAStreamGivesTheSameLines();
    void finishResetsTheSplitter();
};

void TestAuthorizationLines::splitsChunks_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("line, empty line, line in one chunk")
        << QList<QByteArray>{"first\n\nsecond\n"} << QStringList{"first", "second"};
    QTest::newRow("line cut in two")
        << QList<QByteArray>{"hel", "lo\nwor", "ld\n"} << QStringList{"hello", "world"};
    QTest::newRow("unterminated last line is flushed")
        << QList<QByteArray>{"a\nb"} << QStringList{"a", "b"};
    QTest::newRow("character split across chunks")
        << QList<QByteArray>{"\xe3\x82", "\xb3\xe3\x83\x94\xe3", "\x83\xbc\xe4\xb8\xad\n"}
        << QStringList{QStringLiteral("コピー中")};
    QTest::newRow("four-byte character split byte by byte")
        << QList<QByteArray>{"x\xf0", "\x9f", "\x8e", "\x89y\n"} << QStringList{QStringLiteral("x🎉y")};
    QTest::newRow("only line feeds") << QList<QByteArray>{"\n", "\n\n", ""} << QStringList{};
    QTest::newRow("empty chunks between pieces")
        << QList<QByteArray>{"", "ab", "", "c\n", ""} << QStringList{"abc"};
    QTest::newRow("whitespace-only line is kept")
        << QList<QByteArray>{" \n\t\n"} << QStringList{" ", "\t"};
    QTest::newRow("carriage return stays in its line")
        << QList<QByteArray>{"50%\r\n"} << QStringList{"50%\r"};
    QTest::newRow("invalid byte keeps its line")
        << QList<QByteArray>{"ok\n", "bad\xff", "byte\n"}
        << QStringList{"ok", QStringLiteral("bad\uFFFDbyte")};
}

void TestAuthorizationLines::splitsChunks()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, expected);
    LineSplitter splitter;
    QStringList lines;
    for (const QByteArray& chunk : chunks)
        lines << splitter.feed(chunk);
    lines << splitter.finish();
    QCOMPARE(lines, expected);
}

void TestAuthorizationLines::everySplitPointOfAStreamGivesTheSameLines()
{
    const QByteArray stream = QStringLiteral("インストーラを展開中…\n\n進行状況: 10%\nDone.\n最後の行").toUtf8();
    const QStringList expected = {QStringLiteral("インストーラを展開中…"), QStringLiteral("進行状況: 10%"),
                                  QStringLiteral("Done."), QStringLiteral("最後の行")};
    for (qsizetype a = 0; a <= stream.size(); ++a) {
        for (qsizetype b = a; b <= stream.size(); b += 3) {
            LineSplitter splitter;
            QStringList lines = splitter.feed(stream.first(a));
            lines << splitter.feed(stream.sliced(a, b - a));
            lines << splitter.feed(stream.sliced(b));
            lines << splitter.finish();
            QVERIFY2(lines == expected, qPrintable(QStringLiteral("split at %1 and %2").arg(a).arg(b)));
        }
    }
}

void TestAuthorizationLines::finishResetsTheSplitter()
{
    LineSplitter splitter;
    QCOMPARE(splitter.feed("abc"), QStringList());
    QVERIFY(splitter.hasPending());
    QCOMPARE(splitter.finish(), QStringList{"abc"});
    QVERIFY(!splitter.hasPending());
    QCOMPARE(splitter.feed("d\n"), QStringList{"d"});
    QCOMPARE(splitter.finish(), QStringList());
}

QTEST_GUILESS_MAIN(TestAuthorizationLines)
#include "tst_authorizationlines.moc"
