// Full Disk Access detection, the guide flag and the start-up permission step.
#include "app/AppState.h"
#include "permissions/PermissionManager.h"
#include "platform/FileManager.h"
#include "platform/Settings.h"
#include "platform/SystemLocations.h"
#include "platform/Workspace.h"

#include <QHash>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

namespace {

class MemorySettings final : public platform::SettingsStore {
public:
    QHash<QString, QVariant> values;
    QVariant value(const QString& key) const override { return values.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values.insert(key, value); }
    void remove(const QString& key) override { values.remove(key); }

private:
    platform::Service<platform::SettingsStore>::Override override_{*this};
};

// Readability is the test's to decide; the home directory is a fixed made-up one.
class ProbeFileManager final : public platform::FileManager {
public:
    QSet<QString> readable;
    QStringList asked;
    bool isReadable(const QString& path) const override
    {
        const_cast<ProbeFileManager*>(this)->asked << path;
        return readable.contains(path);
    }
    QString homeDirectory() const override { return QStringLiteral("/Users/sorami"); }

private:
    platform::Service<platform::FileManager>::Override override_{*this};
};

class RecordingWorkspace final : public platform::Workspace {
public:
    QList<QUrl> opened;
    bool openUrl(const QUrl& url) override
    {
        opened << url;
        return true;
    }

private:
    platform::Service<platform::Workspace>::Override override_{*this};
};

struct MacLocations {
    platform::SystemLocations locations = platform::SystemLocations::macOS();
    platform::Service<platform::SystemLocations>::Override override{locations};
};

} // namespace

class TestPermissionManager : public QObject {
    Q_OBJECT
private slots:
    void init() { AppState::shared().setShowFullDiskAccessAlert(false); }
    void probesTheProtectedFolders_data();
    void probesTheProtectedFolders();
    void linuxProbesRootOnlyDirectories();
    void creationChecksOnce();
    void recheckPublishesChanges();
    void guideFlagIsPersisted();
    void opensTheFullDiskAccessPage();
    void startupStepOpensTheGuideOnlyWhenNeeded_data();
    void startupStepOpensTheGuideOnlyWhenNeeded();
    void startupStepRequestsTheGuideOneSecondLater();
};

void TestPermissionManager::probesTheProtectedFolders_data()
{
    QTest::addColumn<bool>("safari");
    QTest::addColumn<bool>("mail");
    QTest::addColumn<bool>("granted");
    QTest::newRow("neither readable (or both missing)") << false << false << false;
    QTest::newRow("Safari only") << true << false << true;
    QTest::newRow("Mail only still counts") << false << true << true;
    QTest::newRow("both") << true << true << true;
}

void TestPermissionManager::probesTheProtectedFolders()
{
    QFETCH(bool, safari);
    QFETCH(bool, mail);
    QFETCH(bool, granted);
    MacLocations mac;
    ProbeFileManager files;
    if (safari)
        files.readable << QStringLiteral("/Users/sorami/Library/Safari");
    if (mail)
        files.readable << QStringLiteral("/Users/sorami/Library/Mail");
    MemorySettings settings;
    PermissionManager permissions;
    QCOMPARE(permissions.hasFullDiskAccess(), granted);
    QCOMPARE(PermissionManager::probePaths(),
             (QStringList{"/Users/sorami/Library/Safari", "/Users/sorami/Library/Mail"}));
    QCOMPARE(files.asked, PermissionManager::probePaths());
}

void TestPermissionManager::linuxProbesRootOnlyDirectories()
{
#ifdef __APPLE__
    QSKIP("Linux probes");
#endif
    ProbeFileManager files;
    QCOMPARE(PermissionManager::probePaths(), (QStringList{"/root", "/etc/sudoers.d"}));
    files.readable << QStringLiteral("/etc/sudoers.d");
    MemorySettings settings;
    PermissionManager permissions;
    QVERIFY(permissions.hasFullDiskAccess());
}

void TestPermissionManager::creationChecksOnce()
{
    MacLocations mac;
    ProbeFileManager files;
    MemorySettings settings;
    PermissionManager permissions;
    QCOMPARE(files.asked.size(), 2);
}

void TestPermissionManager::recheckPublishesChanges()
{
    MacLocations mac;
    ProbeFileManager files;
    MemorySettings settings;
    PermissionManager permissions;
    QSignalSpy changed(&permissions, &PermissionManager::hasFullDiskAccessChanged);
    permissions.checkPermissions();
    QCOMPARE(changed.count(), 0);
    files.readable << QStringLiteral("/Users/sorami/Library/Mail");
    permissions.checkPermissions();
    QVERIFY(permissions.hasFullDiskAccess());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toBool(), true);
}

void TestPermissionManager::guideFlagIsPersisted()
{
    MacLocations mac;
    ProbeFileManager files;
    MemorySettings settings;
    PermissionManager permissions;
    QVERIFY(!permissions.hasSeenGuide());
    QSignalSpy changed(&permissions, &PermissionManager::hasSeenGuideChanged);
    permissions.setHasSeenGuide(true);
    QCOMPARE(settings.values.value(QStringLiteral("tessarin_has_seen_fda_guide")), QVariant(true));
    QCOMPARE(changed.count(), 1);
    // Another instance (a later start) reads the stored value.
    PermissionManager later;
    QVERIFY(later.hasSeenGuide());
}

void TestPermissionManager::opensTheFullDiskAccessPage()
{
    MacLocations mac;
    ProbeFileManager files;
    MemorySettings settings;
    RecordingWorkspace workspace;
    PermissionManager permissions;
    permissions.openFullDiskAccessSettings();
    QCOMPARE(workspace.opened.size(), 1);
    QCOMPARE(workspace.opened.first().toString(),
             QStringLiteral("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
    QVERIFY(!permissions.hasSeenGuide());   // opening alone does not mark the guide as seen
}

void TestPermissionManager::startupStepOpensTheGuideOnlyWhenNeeded_data()
{
    QTest::addColumn<bool>("granted");
    QTest::addColumn<QVariant>("seen");
    QTest::addColumn<bool>("scheduled");
    QTest::newRow("missing, never seen") << false << QVariant() << true;
    QTest::newRow("missing, stored false") << false << QVariant(false) << true;
    QTest::newRow("missing, seen") << false << QVariant(true) << false;
    QTest::newRow("granted, never seen") << true << QVariant() << false;
}

void TestPermissionManager::startupStepOpensTheGuideOnlyWhenNeeded()
{
    QFETCH(bool, granted);
    QFETCH(QVariant, seen);
    QFETCH(bool, scheduled);
    MacLocations mac;
    ProbeFileManager files;
    MemorySettings settings;
    if (seen.isValid())
        settings.values.insert(QStringLiteral("tessarin_has_seen_fda_guide"), seen);
    PermissionManager permissions;
    // Access granted after creation: the step re-checks and sees it.
    if (granted)
        files.readable << QStringLiteral("/Users/sorami/Library/Safari");
    QCOMPARE(permissions.runStartupStep(), scheduled);
    QCOMPARE(permissions.hasFullDiskAccess(), granted);
    QVERIFY(!AppState::shared().showFullDiskAccessAlert());
    if (scheduled)   // let the request arrive here rather than in a later test
        QTRY_VERIFY(AppState::shared().showFullDiskAccessAlert());
}

void TestPermissionManager::startupStepRequestsTheGuideOneSecondLater()
{
    MacLocations mac;
    ProbeFileManager files;
    MemorySettings settings;
    PermissionManager permissions;
    QSignalSpy requested(&AppState::shared(), &AppState::showFullDiskAccessAlertChanged);
    QVERIFY(permissions.runStartupStep());
    QCoreApplication::processEvents();
    QVERIFY(!AppState::shared().showFullDiskAccessAlert());   // not at once
    QTRY_VERIFY(AppState::shared().showFullDiskAccessAlert());
    QCOMPARE(requested.count(), 1);
}

QTEST_GUILESS_MAIN(TestPermissionManager)
#include "tst_permissionmanager.moc"
