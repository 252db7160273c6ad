#include "app/AppTheme.h"

#include <QtTest>

namespace {

void compareColor(const QColor& actual, double r, double g, double b, double a)
{
    const double tolerance = 1.0 / 512;
    QVERIFY2(qAbs(actual.redF() - r) < tolerance && qAbs(actual.greenF() - g) < tolerance &&
                 qAbs(actual.blueF() - b) < tolerance && qAbs(actual.alphaF() - a) < tolerance,
             qPrintable(QStringLiteral("got %1 %2 %3 %4")
                            .arg(actual.redF())
                            .arg(actual.greenF())
                            .arg(actual.blueF())
                            .arg(actual.alphaF())));
}

} // namespace

class AppThemeTest : public QObject {
    Q_OBJECT

private slots:
    void themes_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QList<double>>("colors");  // accent rgb, secondary rgb, first rgba, second rgba
        QTest::newRow("whiteSorami") << 0 << AppTheme::whiteSorami << QStringLiteral("White Sorami 🌸")
                                     << QList<double>{0.88, 0.45, 0.68, 0.65, 0.55, 0.85, 0.98, 0.95, 0.98, 0.8,
                                                      0.94, 0.92, 0.97, 0.6};
        QTest::newRow("liquidGlass") << 1 << AppTheme::liquidGlass << QStringLiteral("Liquid Glass 💎")
                                     << QList<double>{0.25, 0.6, 0.95, 0.45, 0.85, 0.95, 0.9, 0.95, 1.0, 0.7,
                                                      0.85, 0.92, 0.98, 0.5};
        QTest::newRow("cyberDark") << 2 << AppTheme::cyberDark << QStringLiteral("Cyber Dark 🌙")
                                   << QList<double>{0.4, 0.5, 1.0, 0.75, 0.35, 0.95, 0.1, 0.12, 0.18, 0.9,
                                                    0.05, 0.07, 0.12, 0.95};
        QTest::newRow("classicMint") << 3 << AppTheme::classicMint << QStringLiteral("Classic Mint 🩺")
                                     << QList<double>{0.2, 0.75, 0.55, 0.15, 0.6, 0.8, 0.92, 0.98, 0.95, 0.7,
                                                      0.88, 0.94, 0.92, 0.5};
    }

    void themes()
    {
        QFETCH(int, position);
        QFETCH(AppTheme, theme);
        QFETCH(QString, raw);
        QFETCH(QList<double>, colors);
        QCOMPARE(Theme::allCases().size(), 4);
        QCOMPARE(Theme::allCases().at(position), theme);
        QCOMPARE(Theme::rawValue(theme), raw);
        QCOMPARE(Theme::displayName(theme), raw);
        QCOMPARE(Theme::fromRawValue(raw), std::optional<AppTheme>(theme));
        compareColor(Theme::accentColor(theme), colors[0], colors[1], colors[2], 1.0);
        compareColor(Theme::secondaryAccent(theme), colors[3], colors[4], colors[5], 1.0);
        const auto [first, second] = Theme::backgroundGradient(theme);
        compareColor(first, colors[6], colors[7], colors[8], colors[9]);
        compareColor(second, colors[10], colors[11], colors[12], colors[13]);
        QCOMPARE(Theme::isDark(theme), theme == AppTheme::cyberDark);
    }

    void textReadsOnEveryBackground()
    {
        // Text colours keep a clear lightness distance from the background they sit on.
        for (AppTheme theme : Theme::allCases()) {
            const auto [first, second] = Theme::backgroundGradient(theme);
            const QColor base = Theme::windowBase(theme);
            auto over = [&](const QColor& c) {
                const double a = c.alphaF();
                return QColor::fromRgbF(float(c.redF() * a + base.redF() * (1 - a)),
                                        float(c.greenF() * a + base.greenF() * (1 - a)),
                                        float(c.blueF() * a + base.blueF() * (1 - a)));
            };
            for (const QColor& background : {over(first), over(second)}) {
                const int gap = qAbs(background.lightness() - Theme::primaryText(theme).lightness());
                QVERIFY2(gap > 150, qPrintable(Theme::rawValue(theme)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(AppThemeTest)
#include "tst_apptheme.moc"
