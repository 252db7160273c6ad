// The network actions for real, through zsh and the stand-ins, in a network namespace that has
// only the loopback interface (see tests/CMakeLists.txt): the speed test downloads from a local
// HTTP server, ping goes to 127.0.0.1.
#include "diagnostics/NetworkModel.h"
#include "exec/Shell.h"
#include "platform/StandIns.h"
#include "support/BannerMessages.h"
#include "support/FakePrivileged.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class NetworkProcessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!platform::installStandInPath().isEmpty());
        QVERIFY(QDir(tmp_.path()).mkpath("www"));
        QFile down(tmp_.filePath("www/__down"));
        QVERIFY(down.open(QIODevice::WriteOnly) && down.write(QByteArray(1 << 20, 'x')) > 0);
        down.close();
        server_.start("python3", {"-c", "import http.server,os,sys\nos.chdir(sys.argv[1])\n"
                                        "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),http.server.SimpleHTTPRequestHandler)\n"
                                        "print(s.server_address[1],flush=True)\ns.serve_forever()",
                                  tmp_.filePath("www")});
        QVERIFY(server_.waitForReadyRead(10000));
        port_ = server_.readLine().trimmed().toInt();
        QVERIFY(port_ > 0);
    }
    void cleanupTestCase()
    {
        server_.kill();
        server_.waitForFinished();
    }

    void speedTestLogsTheDownloadFigures()
    {
        auto model = std::make_shared<NetworkModel>(
            NetworkModel::Endpoints{"127.0.0.1", QString("http://127.0.0.1:%1/__down?bytes=10000000").arg(port_)});
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

    // Without the interface or the facility, the stand-ins fail with their reason.
    void standInsFailWithAReason_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("error");
        QTest::newRow("reset: no en0") << "ifconfig en0 down" << "ifconfig: interface en0 does not exist";
        QTest::newRow("renew: no en0") << "ipconfig set en0 DHCP" << "ipconfig: no interface en0";
    }
    void standInsFailWithAReason()
    {
        QFETCH(QString, command);
        QFETCH(QString, error);
        const ShellResult result = Shell::run(command);
        QVERIFY(result.exitCode == 1 && result.output.isEmpty());
        QCOMPARE(result.error, error);
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
    QProcess server_;
    int port_ = 0;
};

QTEST_GUILESS_MAIN(NetworkProcessTest)
#include "tst_network_process.moc"
