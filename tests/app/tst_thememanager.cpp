#include "app/ThemeManager.h"
#include "support/FakeSettingsStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString key = QStringLiteral("tessarin_selected_theme");
}

class ThemeManagerTest : public QObject {
    Q_OBJECT

private slots:
    void storedValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<AppTheme>("theme");
        QTest::newRow("white sorami") << QVariant("White Sorami 🌸") << AppTheme::whiteSorami;
        QTest::newRow("liquid glass") << QVariant("Liquid Glass 💎") << AppTheme::liquidGlass;
        QTest::newRow("cyber dark") << QVariant("Cyber Dark 🌙") << AppTheme::cyberDark;
        QTest::newRow("classic mint") << QVariant("Classic Mint 🩺") << AppTheme::classicMint;
        // Nothing stored, values from another release, damaged or hand-edited: the default.
        QTest::newRow("nothing stored") << QVariant() << AppTheme::whiteSorami;
        QTest::newRow("unknown theme") << QVariant("Sakura Night 🌺") << AppTheme::whiteSorami;
        QTest::newRow("without emoji") << QVariant("Cyber Dark") << AppTheme::whiteSorami;
        QTest::newRow("other case") << QVariant("cyber dark 🌙") << AppTheme::whiteSorami;
        QTest::newRow("case name") << QVariant("cyberDark") << AppTheme::whiteSorami;
        QTest::newRow("a number") << QVariant(2) << AppTheme::whiteSorami;
    }

    void storedValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(AppTheme, theme);
        {
            FakeSettingsStore store(stored.isValid() ? QHash<QString, QVariant>{{key, stored}} : QHash<QString, QVariant>{});
            QCOMPARE(ThemeManager::shared().currentTheme(), theme);
            QVERIFY(store.writes().isEmpty());   // reading never replaces an unknown value
        }
        if (stored.toString() != Theme::rawValue(theme))
            return;   // only the four names are ever written
        // Choosing the theme stores its name, and observers hear of it only once it is stored.
        FakeSettingsStore store({{key, "Sakura Night 🌺"}});
        QStringList seen;
        connect(&ThemeManager::shared(), &ThemeManager::themeChanged, this, [&](AppTheme notified) {
            seen << store.value(key).toString() << Theme::rawValue(notified)
                 << Theme::rawValue(ThemeManager::shared().currentTheme());
        });
        ThemeManager::shared().setCurrentTheme(theme);
        disconnect(&ThemeManager::shared(), nullptr, this, nullptr);
        QCOMPARE(seen, QStringList(3, stored.toString()));
        QCOMPARE(store.writes(), QStringList{key});
    }

    void choiceSurvivesTheRealStore()
    {
        // The platform store, pointed at a scratch folder: the emoji in the stored text must
        // come back byte for byte from the file.
        QTemporaryDir dir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("Orvelle"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("orvelle.com"));
        QCoreApplication::setApplicationName(QStringLiteral("Tessarin"));
        ThemeManager::shared().setCurrentTheme(AppTheme::cyberDark);
        QSettings fresh;
        QVERIFY2(dir.isValid() && fresh.fileName().startsWith(dir.path()), qPrintable(fresh.fileName()));
        QCOMPARE(fresh.value(key).toString(), QStringLiteral("Cyber Dark 🌙"));
        QCOMPARE(ThemeManager::shared().currentTheme(), AppTheme::cyberDark);
        fresh.setValue(key, QStringLiteral("Retro Amber 🟧"));
        fresh.sync();
        QCOMPARE(ThemeManager::shared().currentTheme(), AppTheme::whiteSorami);
        QCOMPARE(QSettings().value(key).toString(), QStringLiteral("Retro Amber 🟧"));
    }
};

QTEST_GUILESS_MAIN(ThemeManagerTest)
#include "tst_thememanager.moc"
