// Byte counts to text, streamed bytes to lines, and the text shown for a caught exception.
#include "exec/AuthorizationManager.h"
#include "exec/HumanReadable.h"
#include "exec/LineSplitter.h"

#include <QtTest>

#include <clocale>
#include <stdexcept>
#include <string>

class FormatsTest : public QObject {
    Q_OBJECT
private slots:
    void humanReadable()
    {
        // QApplication adopts the environment's locale; one with a decimal comma must not give "1,5 KB".
        const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
        QStringList texts;
        for (const qint64 bytes : {qint64(0), qint64(1023), qint64(1024), qint64(1536), qint64(1048575), qint64(1) << 50,
                                   std::numeric_limits<qint64>::max(), qint64(-2048), qint64(1024 * 1024 * 5 / 2 + 52429), qint64(1280), qint64(1792)})
            texts << ::humanReadable(bytes);
        std::setlocale(LC_NUMERIC, saved.c_str());
        QCOMPARE(texts.join(QStringLiteral(" | ")), QStringLiteral("0.0 B | 1023.0 B | 1.0 KB | 1.5 KB | 1024.0 KB | 1024.0 TB | 8388608.0 TB | -2048.0 B | 2.6 MB | 1.2 KB | 1.8 KB"));
    }

    void lines_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("only line feeds and empty chunks") << QList<QByteArray>{"\n", "", "\n\n", ""} << QStringList{};
        QTest::newRow("whitespace and carriage returns stay") << QList<QByteArray>{" \n50%\r\n"} << QStringList{" ", "50%\r"};
        QTest::newRow("invalid byte keeps its line")
            << QList<QByteArray>{"ok\n", "bad\xff", "byte\n"} << QStringList{"ok", QStringLiteral("bad\uFFFDbyte")};
    }
    void lines()
    {
        QFETCH(QList<QByteArray>, chunks);
        LineSplitter splitter;
        QStringList lines;
        for (const QByteArray& chunk : chunks)
            lines << splitter.feed(chunk);
        lines << splitter.finish();
        QTEST(lines, "expected");
    }
    void everySplitPointGivesTheSameLines()
    {
        const QByteArray stream = QStringLiteral("インストーラを展開中…\n\n進行状況: 10%\nDone 🎉\n最後の行").toUtf8();
        const QStringList expected = {QStringLiteral("インストーラを展開中…"), QStringLiteral("進行状況: 10%"), QStringLiteral("Done 🎉"),
                                      QStringLiteral("最後の行")};
        for (qsizetype a = 0; a <= stream.size(); ++a)
            for (qsizetype b = a; b <= stream.size(); b += 3) {
                LineSplitter splitter;
                QStringList lines = splitter.feed(stream.first(a));
                lines << splitter.feed(stream.sliced(a, b - a)) << splitter.feed(stream.sliced(b)) << splitter.finish();
                QVERIFY2(lines == expected, qPrintable(QStringLiteral("split at %1 and %2").arg(a).arg(b)));
            }
    }

    void describeShowsTheOwnTextOfAnyError()
    {
        QCOMPARE(LocalizedError::describe(AuthError::userCancelled()) + QStringLiteral("|") + LocalizedError::describe(std::runtime_error("disk full")),
                 QString::fromUtf8(AuthError::userCancelled().what()) + QStringLiteral("|disk full"));
    }
};

QTEST_GUILESS_MAIN(FormatsTest)
#include "tst_formats.moc"
