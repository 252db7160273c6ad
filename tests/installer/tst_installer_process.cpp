#include "exec/Shell.h"
#include "installer/InstallerModel.h"
#include "platform/StandIns.h"
#include "support/BundleFactory.h"
#include "support/TempTree.h"

#include <QtTest>

class InstallerProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::installStandInPath();
        if (QStandardPaths::findExecutable("bsdtar").isEmpty())
            QSKIP("bsdtar (libarchive-tools) is not installed");
    }

    // The stand-ins fail honestly where Linux has no such service or tool, or the file is no package.
    void missingServices()
    {
        QTemporaryDir tmp;
        QVERIFY(QDir().mkpath(tmp.path() + "/target") && QFile(tmp.path() + "/broken.pkg").open(QIODevice::WriteOnly));
        const QList<std::pair<QString, QString>> cases{
            {"softwareupdate --fetch-full-installer --full-installer-version 15.7 2>&1", "no software update service"},
            {"installer -pkg '" + tmp.path() + "/broken.pkg' -target '" + tmp.path() + "/target' 2>&1", "The install failed."}};
        for (const auto& [command, message] : cases) {
            const ShellResult result = Shell::run(command);
            QVERIFY(result.exitCode != 0);
            QVERIFY2(result.output.contains(message), qPrintable(result.output));
        }
        QCOMPARE(treeEntries(tmp.path()), QStringList({"broken.pkg", "target"}));
    }

    // diskutil's listing over a scripted lsblk: removable and USB whole disks only, with
    // their sizes, read back by the screen's own parser.
    void diskListing()
    {
        QTemporaryDir bin;
        const QByteArray lsblk = "#!/bin/sh\ncat <<'EOF'\n{\"blockdevices\": [\n"
                                 " {\"name\":\"sda\", \"size\":500107862016, \"type\":\"disk\", \"rm\":false, \"tran\":\"sata\", \"mountpoint\":null,\n"
                                 "  \"children\": [{\"name\":\"sda1\", \"size\":500000000000, \"type\":\"part\", \"rm\":false, \"tran\":null, \"mountpoint\":\"/\"}]},\n"
                                 " {\"name\":\"sdb\", \"size\":32017047552, \"type\":\"disk\", \"rm\":true, \"tran\":\"usb\", \"mountpoint\":null,\n"
                                 "  \"children\": [{\"name\":\"sdb1\", \"size\":32000000000, \"type\":\"part\", \"rm\":true, \"tran\":null, \"mountpoint\":\"/media/U <1>\"}]},\n"
                                 " {\"name\":\"sr0\", \"size\":1073741312, \"type\":\"rom\", \"rm\":true, \"tran\":\"sata\", \"mountpoint\":null}\n"
                                 "]}\nEOF\n";
        QVERIFY(BundleFactory::writeFile(bin.path() + "/lsblk", lsblk, true));
        const ShellResult external = Shell::run("PATH='" + bin.path() + "':\"$PATH\" diskutil list -plist external");
        QCOMPARE(external.exitCode, 0);
        QStringList disks;
        for (const DiskInfo& disk : Installers::parseDiskList(external.output))
            disks << disk.displayName + " " + QString::number(disk.sizeBytes);
        QCOMPARE(disks, QStringList{"/dev/disk1 32017047552"});
        QVERIFY(external.output.contains("<string>/media/U &lt;1&gt;</string>"));
    }
};

QTEST_GUILESS_MAIN(InstallerProcessTest)
#include "tst_installer_process.moc"
