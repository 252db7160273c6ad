// The network actions for real, through zsh and the stand-ins, in a network namespace that has
// only the loopback interface (see tests/CMakeLists.txt): the speed test downloads from a local
// HTTP server, ping goes to 127.0.0.1.
#include "diagnostics/NetworkModel.h"
#include "exec/Shell.h"
#include "platform/StandIns.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"
#include "support/LoopbackServer.h"

#include <QTemporaryDir>
#include <QtTest>

class NetworkProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!platform::installStandInPath().isEmpty()); }

    void speedTestLogsTheDownloadFigures()
    {
        QVERIFY(QDir(tmp_.path()).mkpath("www"));
        QFile down(tmp_.filePath("www/__down"));
        QVERIFY(down.open(QIODevice::WriteOnly) && down.write(QByteArray(1 << 20, 'x')) > 0);
        down.close();
        LoopbackServer server(tmp_.filePath("www"));
        QVERIFY(server.isRunning());
        auto model = std::make_shared<NetworkModel>(NetworkModel::Endpoints{"127.0.0.1", server.url("__down?bytes=10000000")});
        settle(model->speedTest());
        QCOMPARE(model->log().size(), 2);
        QVERIFY2(QRegularExpression("\\A速度: \\d+(\\.\\d+)? bytes/s\n接続時間: [\\d.]+s\n合計時間: [\\d.]+s\\z").match(model->log()[1]).hasMatch(),
                 qPrintable(model->log()[1]));
    }

    // Without interfaces but loopback: no address, no gateway; a quoted host runs nothing else.
    void refreshAndPingOnLoopbackOnly()
    {
        auto model = std::make_shared<NetworkModel>(NetworkModel::Endpoints{"127.0.0.1", {}});
        settle(model->refresh());
        QCOMPARE(model->ipAddress(), "未接続");
        QCOMPARE(model->gateway(), "—");
        QVERIFY(model->pingResult() != "—" && model->pingResult() != "タイムアウト");
        const QString marker = tmp_.filePath("pwned");
        settle(model->ping("127.0.0.1'; touch '" + marker + "'; '"));
        settle(model->ping("-c 1 127.0.0.1; touch " + marker));
        QVERIFY(!QFile::exists(marker));
        QVERIFY(model->log().last().startsWith("❌ ping -c 1"));
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
        auto model = std::make_shared<NetworkModel>(NetworkModel::Endpoints{"127.0.0.1", {}});
        settle(model->reconnectWiFi());
        QCOMPARE(model->log().size(), 2);
        QVERIFY2(model->log()[1].startsWith("❌ ** Error: Wi-Fi power of en0 cannot be switched"), qPrintable(model->log()[1]));
        QCOMPARE(messages.take(), QStringList{});
    }

private:
    QTemporaryDir tmp_;
};

QTEST_GUILESS_MAIN(NetworkProcessTest)
#include "tst_network_process.moc"
