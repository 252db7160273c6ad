#include "platform/Symbols.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QImage>
#include <QtTest>

class SymbolsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::configureSymbolTheme();
        platform::configureSymbolTheme();   // once is enough; twice adds nothing
        QCOMPARE(QIcon::themeName(), QStringLiteral("breeze"));
        QCOMPARE(QIcon::themeSearchPaths().count(QStringLiteral("/usr/share/icons")), 1);
    }

    // Every entry points at an icon breeze installs, so nothing silently falls back to the
    // neutral icon; anything else gets a visible neutral icon, drawn by hand without themes.
    void everyNameGetsAVisibleIcon_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<bool>("known");
        QTest::addColumn<bool>("withoutThemes");
        for (const QString& symbol : platform::knownSymbolNames())
            QTest::newRow(qPrintable(symbol)) << symbol << true << false;
        for (const char* symbol : {"no.such.symbol.fill", "", "../../etc/passwd", "CPU"})
            QTest::addRow("unknown: %s", symbol) << QString::fromUtf8(symbol) << false << false;
        QTest::newRow("no theme at all") << QStringLiteral("no.such.symbol") << false << true;
    }
    void everyNameGetsAVisibleIcon()
    {
        QFETCH(QString, symbol);
        QFETCH(bool, known);
        QFETCH(bool, withoutThemes);
        const QString themeName = platform::symbolThemeName(symbol);
        QCOMPARE(themeName.isEmpty(), !known);
        QDirIterator it(QStringLiteral("/usr/share/icons/breeze"), {themeName + QStringLiteral(".svg")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!known || it.hasNext(), qPrintable(themeName + QStringLiteral(" is not in breeze")));
        const QStringList savedPaths = QIcon::themeSearchPaths();
        const QString savedTheme = QIcon::themeName();
        if (withoutThemes) {
            QIcon::setThemeSearchPaths({QStringLiteral("/nonexistent-icon-root")});
            QIcon::setThemeName(QStringLiteral("no-such-theme"));
        }
        const QImage argb = platform::symbolIcon(symbol).pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
        int visible = 0;
        for (int y = 0; y < argb.height(); ++y)
            for (int x = 0; x < argb.width(); ++x)
                visible += qAlpha(argb.pixel(x, y)) > 64 ? 1 : 0;
        // A thin glyph (a chevron) covers some 30 pixels at this size; fewer would be a failed load.
        QVERIFY2(visible > (known ? 16 : 32), qPrintable(QString::number(visible)));
    }
};

QTEST_MAIN(SymbolsTest)
#include "tst_symbols.moc"
