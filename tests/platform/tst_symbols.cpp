#include "platform/Symbols.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QImage>
#include <QtTest>

namespace {

int visiblePixels(const QIcon& icon)
{
    const QImage argb = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 64 ? 1 : 0;
    return count;
}

} // namespace

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
    // neutral icon.
    void tableEntriesExistInBreeze_data()
    {
        QTest::addColumn<QString>("symbol");
        for (const QString& symbol : platform::knownSymbolNames())
            QTest::newRow(qPrintable(symbol)) << symbol;
    }
    void tableEntriesExistInBreeze()
    {
        QFETCH(QString, symbol);
        const QString themeName = platform::symbolThemeName(symbol);
        QDirIterator it(QStringLiteral("/usr/share/icons/breeze"), {themeName + QStringLiteral(".svg")}, QDir::Files,
                        QDirIterator::Subdirectories);
        QVERIFY2(it.hasNext(), qPrintable(themeName + QStringLiteral(" is not in breeze")));
        // A thin glyph (a chevron) covers some 30 pixels at this size; fewer would be a failed load.
        QVERIFY2(visiblePixels(platform::symbolIcon(symbol)) > 16, qPrintable(themeName));
    }

    void unknownNamesGetAVisibleNeutralIcon_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<bool>("withoutThemes");   // nothing on the search path: drawn by hand
        QTest::newRow("unknown") << QStringLiteral("no.such.symbol.fill") << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("path-like") << QStringLiteral("../../etc/passwd") << false;
        QTest::newRow("case differs") << QStringLiteral("CPU") << false;
        QTest::newRow("no theme at all") << QStringLiteral("no.such.symbol") << true;
    }
    void unknownNamesGetAVisibleNeutralIcon()
    {
        QFETCH(QString, symbol);
        QFETCH(bool, withoutThemes);
        const QStringList savedPaths = QIcon::themeSearchPaths();
        const QString savedTheme = QIcon::themeName();
        if (withoutThemes) {
            QIcon::setThemeSearchPaths({QStringLiteral("/nonexistent-icon-root")});
            QIcon::setThemeName(QStringLiteral("no-such-theme"));
        }
        const QIcon icon = platform::symbolIcon(symbol);
        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
        QVERIFY(platform::symbolThemeName(symbol).isEmpty());
        QVERIFY(visiblePixels(icon) > 32);
    }
};

QTEST_MAIN(SymbolsTest)
#include "tst_symbols.moc"
