#include "platform/Symbols.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QImage>
#include <QtTest>

namespace {

// Every symbol the screens name, by screen.
const QStringList screenSymbols = {
    // sidebar sections
    "sparkles.rectangle.stack.fill", "trash.circle.fill", "cpu", "internaldrive.fill", "arrow.down.circle.fill",
    "externaldrive.fill.badge.timemachine", "bolt.circle.fill", "chart.pie.fill", "network", "info.circle.fill",
    // banner, Full Disk Access guide, About
    "xmark.circle.fill", "checkmark.circle.fill", "lock.shield.fill", "arrow.up.forward.app.fill",
    "stethoscope.circle.fill",
    // cache screen
    "person.fill", "clock.fill", "gearshape.fill", "hammer.fill", "globe", "doc.text.fill", "cup.and.saucer.fill",
    "trash.fill", "touchid", "lock.shield", "arrow.clockwise", "sparkles",
    // uninstaller and Intel applications
    "magnifyingglass", "trash.circle", "doc.fill", "exclamationmark.triangle.fill", "desktopcomputer",
    "app.badge.checkmark",
    // installers and USB media
    "antenna.radiowaves.left.and.right", "clock", "apple.logo", "arrow.down.circle", "arrow.down.doc.fill",
    "safari.fill", "externaldrive.badge.xmark", "externaldrive.fill",
    // dashboard
    "paintpalette.fill", "checkmark", "exclamationmark.shield.fill", "bolt.fill", "chevron.right",
    // system information, network, storage, startup items, backup
    "internaldrive", "display", "thermometer.medium", "laptopcomputer", "arrow.triangle.2.circlepath",
    "server.rack", "waveform", "wifi", "arrow.counterclockwise", "speedometer", "opticaldisc", "archivebox.fill",
    "film.fill", "music.note", "arrow.right.circle", "app.badge.fill", "gearshape.2.fill", "minus.circle.fill",
};

int visiblePixels(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 64 ? 1 : 0;
    return count;
}

bool breezeHasIcon(const QString& name)
{
    QDirIterator it(QStringLiteral("/usr/share/icons/breeze"), {name + QStringLiteral(".svg")}, QDir::Files,
                    QDirIterator::Subdirectories);
    return it.hasNext();
}

} // namespace

class SymbolsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::configureSymbolTheme();
        QCOMPARE(QIcon::themeName(), QStringLiteral("breeze"));
        QVERIFY(QIcon::themeSearchPaths().contains(QStringLiteral("/usr/share/icons")));
    }

    void screenSymbolsAreInTheTable_data()
    {
        QTest::addColumn<QString>("symbol");
        for (const QString& symbol : screenSymbols)
            QTest::newRow(qPrintable(symbol)) << symbol;
    }
    void screenSymbolsAreInTheTable()
    {
        QFETCH(QString, symbol);
        QVERIFY2(!platform::symbolThemeName(symbol).isEmpty(), "symbol has no freedesktop icon");
    }

    // Every entry, including those no screen names yet, points at an icon breeze installs,
    // so nothing silently falls back to the neutral icon.
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
        QVERIFY2(breezeHasIcon(themeName), qPrintable(themeName + QStringLiteral(" is not in breeze")));
        QVERIFY(QIcon::hasThemeIcon(themeName));
        const QIcon icon = platform::symbolIcon(symbol);
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(32, 32).toImage();
        QVERIFY(!image.isNull());
        // A thin glyph (a chevron) covers some 30 pixels at this size; fewer would be a failed load.
        QVERIFY2(visiblePixels(image) > 16, qPrintable(QString::number(visiblePixels(image))));
    }

    void unknownNamesGetAVisibleNeutralIcon_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::newRow("unknown") << QStringLiteral("no.such.symbol.fill");
        QTest::newRow("empty") << QString();
        QTest::newRow("spaces") << QStringLiteral("   ");
        QTest::newRow("path-like") << QStringLiteral("../../etc/passwd");
        QTest::newRow("case differs") << QStringLiteral("CPU");
    }
    void unknownNamesGetAVisibleNeutralIcon()
    {
        QFETCH(QString, symbol);
        QVERIFY(platform::symbolThemeName(symbol).isEmpty());
        const QIcon icon = platform::symbolIcon(symbol);
        QVERIFY(!icon.isNull());
        QVERIFY(visiblePixels(icon.pixmap(32, 32).toImage()) > 32);
    }

    // Without any icon theme on the search path the neutral icon is drawn by hand.
    void neutralIconWithoutThemes()
    {
        const QStringList savedPaths = QIcon::themeSearchPaths();
        const QString savedTheme = QIcon::themeName();
        QIcon::setThemeSearchPaths({QStringLiteral("/nonexistent-icon-root")});
        QIcon::setThemeName(QStringLiteral("no-such-theme"));
        const QIcon icon = platform::symbolIcon(QStringLiteral("no.such.symbol"));
        QIcon::setThemeSearchPaths(savedPaths);
        QIcon::setThemeName(savedTheme);
        QVERIFY(!icon.isNull());
        QVERIFY(visiblePixels(icon.pixmap(32, 32).toImage()) > 32);
    }

    void configureIsIdempotent()
    {
        platform::configureSymbolTheme();
        platform::configureSymbolTheme();
        const QStringList paths = QIcon::themeSearchPaths();
        QCOMPARE(paths.count(QStringLiteral("/usr/share/icons")), 1);
    }
};

QTEST_MAIN(SymbolsTest)
#include "tst_symbols.moc"
