// Full Disk Access detection, the guide flag and the start-up permission step.
#include "app/AppState.h"
#include "permissions/PermissionManager.h"
#include "platform/FileManager.h"
#include "platform/SystemLocations.h"
#include "platform/Workspace.h"
#include "support/FakeSettingsStore.h"
#include "support/ManualClock.h"

#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include <optional>

namespace {

const QString safari = QStringLiteral("/Users/sorami/Library/Safari");
const QString mail = QStringLiteral("/Users/sorami/Library/Mail");

// The macOS probes unless `ownProbes`, readability decided by the test, a made-up home, a
// settings store and a workspace that only records.
struct Fixture : platform::FileManager, platform::Workspace {
    explicit Fixture(bool ownProbes = false)
    {
        if (!ownProbes)
            macProbes.emplace(mac);
    }
    bool isReadable(const QString& path) const override
    {
        asked << path;
        return readable.contains(path);
    }
    QString homeDirectory() const override { return QStringLiteral("/Users/sorami"); }
    bool openUrl(const QUrl& url) override
    {
        opened << url;
        return true;
    }

    QSet<QString> readable;
    mutable QStringList asked;
    QList<QUrl> opened;
    FakeSettingsStore settings;
    platform::SystemLocations mac = platform::SystemLocations::macOS();
    std::optional<platform::Service<platform::SystemLocations>::Override> macProbes;
    platform::Service<platform::FileManager>::Override files{*this};
    platform::Service<platform::Workspace>::Override workspace{*this};
};

} // namespace

class TestPermissionManager : public QObject {
    Q_OBJECT
private slots:
    void init() { AppState::shared().setShowFullDiskAccessAlert(false); }

    void probesDecideTheGrant_data()
    {
        QTest::addColumn<bool>("ownProbes");
        QTest::addColumn<QStringList>("readable");
        QTest::addColumn<bool>("granted");
        QTest::newRow("neither readable (or both missing)") << false << QStringList{} << false;
        QTest::newRow("Safari only") << false << QStringList{safari} << true;
        QTest::newRow("Mail only still counts") << false << QStringList{mail} << true;
#ifndef __APPLE__
        // Where no folder is protected by a privacy grant, root-only folders stand in.
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
        PermissionManager permissions;   // creation checks once
        QCOMPARE(permissions.hasFullDiskAccess(), granted);
        const QStringList probes = ownProbes ? QStringList{"/root", "/etc/sudoers.d"} : QStringList{safari, mail};
        QCOMPARE(PermissionManager::probePaths(), probes);
        QCOMPARE(f.asked, probes);
    }

    void guideFlagIsStoredAndSettingsOpenTheFullDiskAccessPage()
    {
        Fixture f;
        PermissionManager permissions;
        permissions.openFullDiskAccessSettings();
        QCOMPARE(f.opened, QList<QUrl>{QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles")});
        QVERIFY(!permissions.hasSeenGuide());   // opening alone does not mark the guide as seen
        QSignalSpy changed(&permissions, &PermissionManager::hasSeenGuideChanged);
        permissions.setHasSeenGuide(true);
        QCOMPARE(f.settings.value("tessarin_has_seen_fda_guide"), QVariant(true));
        QCOMPARE(changed.count(), 1);
        QVERIFY(PermissionManager().hasSeenGuide());   // a later start reads the stored value
    }

    void startupStepAsksForTheGuideOnlyWhenNeeded_data()
    {
        QTest::addColumn<bool>("granted");
        QTest::addColumn<QVariant>("seen");
        QTest::addColumn<bool>("asks");
        QTest::newRow("missing, never seen") << false << QVariant() << true;
        QTest::newRow("missing, stored false") << false << QVariant(false) << true;
        QTest::newRow("missing, seen") << false << QVariant(true) << false;
        QTest::newRow("granted after creation, never seen") << true << QVariant() << false;
    }
    void startupStepAsksForTheGuideOnlyWhenNeeded()
    {
        QFETCH(bool, granted);
        QFETCH(QVariant, seen);
        QFETCH(bool, asks);
        Fixture f;
        if (seen.isValid())
            f.settings.setValue("tessarin_has_seen_fda_guide", seen);
        PermissionManager permissions;
        QSignalSpy grantChanged(&permissions, &PermissionManager::hasFullDiskAccessChanged);
        if (granted)
            f.readable << safari;
        QSignalSpy requested(&AppState::shared(), &AppState::showFullDiskAccessAlertChanged);
        ManualClock clock;
        QCOMPARE(permissions.runStartupStep(), asks);
        // The step checks again and publishes what changed.
        QCOMPARE(permissions.hasFullDiskAccess(), granted);
        QCOMPARE(grantChanged.count(), granted ? 1 : 0);
        clock.advance(std::chrono::milliseconds(999));
        QCOMPARE(requested.count(), 0);   // never before a second has passed
        clock.advance(std::chrono::milliseconds(1));
        QCOMPARE(requested.count(), asks ? 1 : 0);
        QCOMPARE(AppState::shared().showFullDiskAccessAlert(), asks);
    }
};

QTEST_GUILESS_MAIN(TestPermissionManager)
#include "tst_permissionmanager.moc"
