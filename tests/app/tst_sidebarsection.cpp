#include "app/AppTheme.h"
#include "app/SidebarSection.h"

#include <QSet>
#include <QtTest>

class SidebarSectionTest : public QObject {
    Q_OBJECT

private slots:
    void table_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<SidebarSection>("section");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QColor>("color");
        QTest::newRow("dashboard") << 0 << SidebarSection::dashboard << QStringLiteral("ダッシュボード")
                                   << QStringLiteral("sparkles.rectangle.stack.fill") << SystemColor::pink();
        QTest::newRow("uninstaller") << 1 << SidebarSection::uninstaller << QStringLiteral("アンインストーラー")
                                     << QStringLiteral("trash.circle.fill") << SystemColor::red();
        QTest::newRow("intelApps") << 2 << SidebarSection::intelApps << QStringLiteral("Intelアプリ検出")
                                   << QStringLiteral("cpu") << SystemColor::orange();
        QTest::newRow("cache") << 3 << SidebarSection::cache << QStringLiteral("キャッシュ削除")
                               << QStringLiteral("internaldrive.fill") << SystemColor::orange();
        QTest::newRow("installer") << 4 << SidebarSection::installer << QStringLiteral("macOSインストーラー")
                                   << QStringLiteral("arrow.down.circle.fill") << SystemColor::blue();
        QTest::newRow("backup") << 5 << SidebarSection::backup << QStringLiteral("バックアップ")
                                << QStringLiteral("externaldrive.fill.badge.timemachine") << SystemColor::purple();
        QTest::newRow("startup") << 6 << SidebarSection::startup << QStringLiteral("起動項目管理")
                                 << QStringLiteral("bolt.circle.fill") << SystemColor::yellow();
        QTest::newRow("storage") << 7 << SidebarSection::storage << QStringLiteral("ストレージ分析")
                                 << QStringLiteral("chart.pie.fill") << SystemColor::green();
        QTest::newRow("network") << 8 << SidebarSection::network << QStringLiteral("ネットワーク診断")
                                 << QStringLiteral("network") << SystemColor::cyan();
        QTest::newRow("sysinfo") << 9 << SidebarSection::sysinfo << QStringLiteral("システム情報")
                                 << QStringLiteral("info.circle.fill") << SystemColor::gray();
    }

    void table()
    {
        QFETCH(int, position);
        QFETCH(SidebarSection, section);
        QFETCH(QString, title);
        QFETCH(QString, icon);
        QFETCH(QColor, color);
        QCOMPARE(Sections::allCases().at(position), section);
        QCOMPARE(Sections::rawValue(section), title);
        QCOMPARE(Sections::icon(section), icon);
        QCOMPARE(Sections::color(section), color);
        QCOMPARE(Sections::fromRawValue(title), std::optional<SidebarSection>(section));
    }

    void tenDistinctSections()
    {
        const QList<SidebarSection> all = Sections::allCases();
        QCOMPARE(all.size(), 10);
        QSet<QString> titles;
        for (SidebarSection section : all)
            titles.insert(Sections::rawValue(section));
        QCOMPARE(titles.size(), 10);
        QCOMPARE(Sections::fromRawValue(QStringLiteral("キャッシュ")), std::nullopt);
        QCOMPARE(Sections::fromRawValue(QString()), std::nullopt);
    }

    void namedColoursAreTheSystemOnes()
    {
        // The light-appearance values of the system's named colours.
        QCOMPARE(SystemColor::pink().name(), QStringLiteral("#ff2d55"));
        QCOMPARE(SystemColor::red().name(), QStringLiteral("#ff3b30"));
        QCOMPARE(SystemColor::orange().name(), QStringLiteral("#ff9500"));
        QCOMPARE(SystemColor::blue().name(), QStringLiteral("#007aff"));
        QCOMPARE(SystemColor::purple().name(), QStringLiteral("#af52de"));
        QCOMPARE(SystemColor::yellow().name(), QStringLiteral("#ffcc00"));
        QCOMPARE(SystemColor::green().name(), QStringLiteral("#34c759"));
        QCOMPARE(SystemColor::cyan().name(), QStringLiteral("#32ade6"));
        QCOMPARE(SystemColor::gray().name(), QStringLiteral("#8e8e93"));
    }
};

QTEST_GUILESS_MAIN(SidebarSectionTest)
#include "tst_sidebarsection.moc"
