// The network actions for real, through zsh and the stand-ins, in a network namespace that has
// only the loopback interface (see tests/CMakeLists.txt): ping goes to 127.0.0.1.
#include "diagnostics/NetworkModel.h"
#include "exec/Shell.h"
#include "platform/StandIns.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"

#include <QtTest>

class NetworkProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!platform::installStandInPath().isEmpty()); }

    // Without interfaces but loopback: no address, no gateway; ping reaches 127.0.0.1.
    void refreshAndPingOnLoopbackOnly()
    {
        auto model = std::make_shared<NetworkModel>(NetworkModel::Endpoints{"127.0.0.1"});
        settle(model->refresh());
        QCOMPARE(model->ipAddress(), "未接続");
        QCOMPARE(model->gateway(), "—");
        QVERIFY(model->pingResult() != "—" && model->pingResult() != "タイムアウト");
    }

    // Without the interface, the stand-ins fail with their reason.
    void standInsFailWithAReason()
    {
        QStringList results;
        for (const char* command : {"ifconfig en0 down", "ipconfig set en0 DHCP"}) {
            const ShellResult result = Shell::run(command);
            results << QString::number(result.exitCode) + "|" + result.output + "|" + result.error;
        }
        QCOMPARE(results, (QStringList{"1||ifconfig: interface en0 does not exist", "1||ipconfig: no interface en0"}));
    }

    void wifiStandInFailureIsLogged()
    {
        if (!QStandardPaths::findExecutable("nmcli").isEmpty())
            QSKIP("NetworkManager is here; the radio is not switched by tests");
        BannerMessages messages;
        auto model = std::make_shared<NetworkModel>(NetworkModel::Endpoints{"127.0.0.1"});
        settle(model->reconnectWiFi());
        QCOMPARE(model->log().size(), 2);
        QVERIFY2(model->log()[1].startsWith("❌ ** Error: Wi-Fi power of en0 cannot be switched"), qPrintable(model->log()[1]));
        QCOMPARE(messages.take(), QStringList{});
    }
};

QTEST_GUILESS_MAIN(NetworkProcessTest)
#include "tst_network_process.moc"
