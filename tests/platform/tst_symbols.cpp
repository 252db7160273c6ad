#include "platform/Symbols.h"
#include "support/Render.h"

#include <QDirIterator>
#include <QImage>
#include <QtTest>

class SymbolsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::configureSymbolTheme();
        platform::configureSymbolTheme();   // twice adds nothing
        QCOMPARE(QIcon::themeName(), QStringLiteral("breeze"));
        QCOMPARE(QIcon::themeSearchPaths().count(QStringLiteral("/usr/share/icons")), 1);
    }

    // Every known name maps to an icon breeze installs; anything else, even without any theme,
    // gets a visible neutral icon drawn by hand.
    void everyNameGetsAVisibleIcon_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<bool>("known");
        for (const QString& symbol : platform::knownSymbolNames())
            QTest::newRow(qPrintable(symbol)) << symbol << true;
        for (const char* symbol : {"no.such.symbol.fill", "", "../../etc/passwd", "CPU"})
            QTest::addRow("unknown: %s", symbol) << QString::fromUtf8(symbol) << false;
        QTest::newRow("no theme at all") << QStringLiteral("no.such.symbol") << false;
    }
    void everyNameGetsAVisibleIcon()
    {
        QFETCH(QString, symbol);
        QFETCH(bool, known);
        const QString themeName = platform::symbolThemeName(symbol);
        QCOMPARE(themeName.isEmpty(), !known);
        QDirIterator it(QStringLiteral("/usr/share/icons/breeze"), {themeName + ".svg"}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!known || it.hasNext(), qPrintable(themeName + " is not in breeze"));
        const QStringList savedPaths = QIcon::themeSearchPaths();
        const QString savedTheme = QIcon::themeName();
        if (QTest::currentDataTag() == QLatin1String("no theme at all"))
            QIcon::setThemeSearchPaths({QStringLiteral("/nonexistent-icon-root")}), QIcon::setThemeName(QStringLiteral("no-such-theme"));
        const QImage image = platform::symbolIcon(symbol).pixmap(32, 32).toImage();
        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
        QVERIFY(!looksBlank(image));
    }
};

QTEST_MAIN(SymbolsTest)
#include "tst_symbols.moc"
