#include "app/AppState.h"
#include "permissions/PermissionManager.h"
#include "platform/FileManager.h"
#include "platform/SystemLocations.h"
#include "support/FakeSettingsStore.h"
#include "support/ManualClock.h"

#include <QSet>
#include <QSignalSpy>
#include <QtTest>

static const QString safari = QStringLiteral("/Users/sorami/Library/Safari");

// Readability decided by the test; the macOS probes unless `ownProbes`.
struct Fixture : platform::FileManager {
    explicit Fixture(bool ownProbes = false) { if (!ownProbes) macProbes.emplace(mac); }
    bool isReadable(const QString& path) const override { return asked << path, readable.contains(path); }
    QString homeDirectory() const override { return QStringLiteral("/Users/sorami"); }

    QSet<QString> readable;
    mutable QStringList asked;
    FakeSettingsStore settings;
    platform::SystemLocations mac = platform::SystemLocations::macOS();
    std::optional<platform::Service<platform::SystemLocations>::Override> macProbes;
    platform::Service<platform::FileManager>::Override files{*this};
};

class TestPermissionManager : public QObject {
    Q_OBJECT
private slots:
    void init() { AppState::shared().setShowFullDiskAccessAlert(false); }

    void probesDecideTheGrant_data()
    {
        QTest::addColumn<bool>("ownProbes");
        QTest::addColumn<QStringList>("readable");
        QTest::addColumn<bool>("granted");
        QTest::newRow("Safari only") << false << QStringList{safari} << true;
        QTest::newRow("Mail only") << false << QStringList{"/Users/sorami/Library/Mail"} << true;
#ifndef __APPLE__   // where no folder is protected by a privacy grant, root-only folders stand in
        QTest::newRow("own probes, none readable") << true << QStringList{} << false;
        QTest::newRow("own probes, sudoers.d readable") << true << QStringList{"/etc/sudoers.d"} << true;
#endif
    }
    void probesDecideTheGrant()
    {
        QFETCH(bool, ownProbes);
        QFETCH(QStringList, readable);
        QFETCH(bool, granted);
        Fixture f(ownProbes);
        f.readable = QSet<QString>(readable.cbegin(), readable.cend());
        QCOMPARE(PermissionManager().hasFullDiskAccess(), granted);   // creation checks once
        QCOMPARE(f.asked, ownProbes ? QStringList({"/root", "/etc/sudoers.d"}) : QStringList({safari, "/Users/sorami/Library/Mail"}));
    }

    // The guide is asked for a second after start-up, only while the grant is missing and the guide
    // was never marked seen.
    void startupStepAsksForTheGuideOnlyWhenNeeded_data()
    {
        QTest::addColumn<bool>("granted");
        QTest::addColumn<QVariant>("seen");
        QTest::addColumn<bool>("asks");
        QTest::newRow("missing, never seen") << false << QVariant() << true;
        QTest::newRow("missing, seen") << false << QVariant(true) << false;
        QTest::newRow("granted after creation, never seen") << true << QVariant() << false;
    }
    void startupStepAsksForTheGuideOnlyWhenNeeded()
    {
        QFETCH(bool, granted);
        QFETCH(QVariant, seen);
        QFETCH(bool, asks);
        Fixture f;
        f.settings.setValue(PermissionManager::seenGuideKey, seen);   // an invalid value reads as nothing stored
        PermissionManager permissions;
        QSignalSpy grantChanged(&permissions, &PermissionManager::hasFullDiskAccessChanged), requested(&AppState::shared(), &AppState::showFullDiskAccessAlertChanged);
        f.readable = granted ? QSet<QString>{safari} : QSet<QString>{};
        ManualClock clock;
        QVERIFY(permissions.runStartupStep() == asks && permissions.hasFullDiskAccess() == granted && grantChanged.count() == int(granted));
        clock.advance(std::chrono::milliseconds(999));
        QCOMPARE(requested.count(), 0);
        clock.advance(std::chrono::milliseconds(1));
        QVERIFY(requested.count() == int(asks) && AppState::shared().showFullDiskAccessAlert() == asks);
    }
};

QTEST_GUILESS_MAIN(TestPermissionManager)
#include "tst_permissionmanager.moc"
