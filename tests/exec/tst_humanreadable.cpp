#include "exec/Shell.h"

#include <QTest>

#include <clocale>
#include <string>

class HumanReadableTest : public QObject {
    Q_OBJECT
private slots:
    void format_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0.0 B";
        QTest::newRow("1023") << qint64(1023) << "1023.0 B";
        QTest::newRow("1024") << qint64(1024) << "1.0 KB";
        QTest::newRow("1536") << qint64(1536) << "1.5 KB";
        QTest::newRow("just below a MB stays in KB") << qint64(1048575) << "1024.0 KB";
        QTest::newRow("1 MB") << qint64(1048576) << "1.0 MB";
        QTest::newRow("1 GB") << qint64(1073741824) << "1.0 GB";
        QTest::newRow("2^50 stays in TB") << (qint64(1) << 50) << "1024.0 TB";
        QTest::newRow("2^60") << (qint64(1) << 60) << "1048576.0 TB";
        QTest::newRow("max") << std::numeric_limits<qint64>::max() << "8388608.0 TB";
        QTest::newRow("negative") << qint64(-5) << "-5.0 B";
        QTest::newRow("very negative stays in bytes") << qint64(-2048) << "-2048.0 B";
        QTest::newRow("rounding") << qint64(1024 * 1024 * 5 / 2 + 52429) << "2.6 MB";
    }
    void format()
    {
        QFETCH(qint64, bytes);
        QTEST(humanReadable(bytes), "text");
    }
    void decimalPointIgnoresTheUserLocale()
    {
        // QApplication adopts the environment's locale; a German one must not give "1,5 KB".
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        const std::string saved = previous ? previous : "C";
        if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
            QSKIP("no locale with a decimal comma is installed");
        const QString text = humanReadable(1536);
        std::setlocale(LC_NUMERIC, saved.c_str());
        QCOMPARE(text, QStringLiteral("1.5 KB"));
    }
};

QTEST_GUILESS_MAIN(HumanReadableTest)
#include "tst_humanreadable.moc"
