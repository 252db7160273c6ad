#include "app/ThemeManager.h"
#include "platform/Settings.h"
#include "support/FakeSettingsStore.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class ThemeManagerTest : public QObject {
    Q_OBJECT

private slots:
    void noStoredValueReadsAsWhiteSorami()
    {
        FakeSettingsStore store;
        QCOMPARE(ThemeManager::shared().currentTheme(), AppTheme::whiteSorami);
        QCOMPARE(ThemeManager::shared().currentThemeRaw(), QStringLiteral("White Sorami 🌸"));
        QVERIFY(store.writes().isEmpty());
        QVERIFY(!store.contains(QStringLiteral("tessarin_selected_theme")));
    }

    void storedValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<AppTheme>("expected");
        QTest::newRow("white sorami") << QVariant(QStringLiteral("White Sorami 🌸")) << AppTheme::whiteSorami;
        QTest::newRow("liquid glass") << QVariant(QStringLiteral("Liquid Glass 💎")) << AppTheme::liquidGlass;
        QTest::newRow("cyber dark") << QVariant(QStringLiteral("Cyber Dark 🌙")) << AppTheme::cyberDark;
        QTest::newRow("classic mint") << QVariant(QStringLiteral("Classic Mint 🩺")) << AppTheme::classicMint;
        // Values from another release, damaged or hand-edited values: all read as the default.
        QTest::newRow("unknown theme") << QVariant(QStringLiteral("Sakura Night 🌺")) << AppTheme::whiteSorami;
        QTest::newRow("without emoji") << QVariant(QStringLiteral("Cyber Dark")) << AppTheme::whiteSorami;
        QTest::newRow("other case") << QVariant(QStringLiteral("cyber dark 🌙")) << AppTheme::whiteSorami;
        QTest::newRow("trailing space") << QVariant(QStringLiteral("Cyber Dark 🌙 ")) << AppTheme::whiteSorami;
        QTest::newRow("case name") << QVariant(QStringLiteral("cyberDark")) << AppTheme::whiteSorami;
        QTest::newRow("empty text") << QVariant(QString()) << AppTheme::whiteSorami;
        QTest::newRow("a number") << QVariant(2) << AppTheme::whiteSorami;
        QTest::newRow("a list") << QVariant(QStringList{QStringLiteral("Cyber Dark 🌙")}) << AppTheme::whiteSorami;
    }

    void storedValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(AppTheme, expected);
        FakeSettingsStore store({{QStringLiteral("tessarin_selected_theme"), stored}});
        QCOMPARE(ThemeManager::shared().currentTheme(), expected);
        // Reading never rewrites the stored value, not even an unknown one.
        QVERIFY(store.writes().isEmpty());
        QCOMPARE(store.value(QStringLiteral("tessarin_selected_theme")), stored);
    }

    void settingStoresRawValueThenNotifies_data()
    {
        QTest::addColumn<AppTheme>("theme");
        QTest::addColumn<QString>("raw");
        QTest::newRow("cyber dark") << AppTheme::cyberDark << QStringLiteral("Cyber Dark 🌙");
        QTest::newRow("liquid glass") << AppTheme::liquidGlass << QStringLiteral("Liquid Glass 💎");
        QTest::newRow("classic mint") << AppTheme::classicMint << QStringLiteral("Classic Mint 🩺");
        QTest::newRow("white sorami") << AppTheme::whiteSorami << QStringLiteral("White Sorami 🌸");
    }

    void settingStoresRawValueThenNotifies()
    {
        QFETCH(AppTheme, theme);
        QFETCH(QString, raw);
        FakeSettingsStore store({{QStringLiteral("tessarin_selected_theme"), QStringLiteral("Sakura Night 🌺")}});
        QVariant storedWhenNotified;
        AppTheme readWhenNotified = AppTheme::whiteSorami;
        int notifications = 0;
        const auto connection = connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [&](AppTheme) {
            ++notifications;
            storedWhenNotified = store.value(QStringLiteral("tessarin_selected_theme"));
            readWhenNotified = ThemeManager::shared().currentTheme();
        });
        QSignalSpy spy(&ThemeManager::shared(), &ThemeManager::themeChanged);

        ThemeManager::shared().setCurrentTheme(theme);
        disconnect(connection);

        QCOMPARE(store.value(QStringLiteral("tessarin_selected_theme")).toString(), raw);
        QCOMPARE(store.writes(), QStringList{QStringLiteral("tessarin_selected_theme")});
        // Observers are told after the value is stored, so they redraw with the new theme.
        QCOMPARE(notifications, 1);
        QCOMPARE(storedWhenNotified.toString(), raw);
        QCOMPARE(readWhenNotified, theme);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<AppTheme>(), theme);
        QCOMPARE(ThemeManager::shared().currentThemeRaw(), raw);
    }

    void choiceSurvivesANewReadThroughTheStore()
    {
        {
            FakeSettingsStore first;
            ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
            // A later launch sees what the earlier one stored.
            FakeSettingsStore second({{QStringLiteral("tessarin_selected_theme"),
                                       first.value(QStringLiteral("tessarin_selected_theme"))}});
            QCOMPARE(ThemeManager::shared().currentTheme(), AppTheme::cyberDark);
        }
    }

    void choiceSurvivesTheRealStore()
    {
        // The platform store, pointed at a scratch folder: the emoji in the stored text must
        // come back byte for byte from the file.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("Orvelle"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("orvelle.com"));
        QCoreApplication::setApplicationName(QStringLiteral("Tessarin"));

        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QSettings fresh;
        QVERIFY2(fresh.fileName().startsWith(dir.path()), qPrintable(fresh.fileName()));
        QCOMPARE(fresh.value(QStringLiteral("tessarin_selected_theme")).toString(), QStringLiteral("Cyber Dark 🌙"));
        QCOMPARE(ThemeManager::shared().currentTheme(), AppTheme::cyberDark);

        fresh.setValue(QStringLiteral("tessarin_selected_theme"), QStringLiteral("Retro Amber 🟧"));
        fresh.sync();
        QCOMPARE(ThemeManager::shared().currentTheme(), AppTheme::whiteSorami);
        QCOMPARE(QSettings().value(QStringLiteral("tessarin_selected_theme")).toString(), QStringLiteral("Retro Amber 🟧"));
    }
};

QTEST_GUILESS_MAIN(ThemeManagerTest)
#include "tst_thememanager.moc"
