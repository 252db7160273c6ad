#include "diagnostics/NetworkModel.h"
#include "support/BannerMessages.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"

#include <QtTest>

class NetworkTest : public QObject {
    Q_OBJECT

private slots:
    void refreshReadsThreeFiguresThenPings_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("dns");
        QTest::addColumn<QStringList>("cards");
        QTest::newRow("address") << "192.168.1.5" << "1.1.1.1 8.8.8.8" << QStringList{"192.168.1.5", "10.0.0.1", "1.1.1.1 8.8.8.8"};
        QTest::newRow("none") << "" << "a b c" << QStringList{"未接続", "10.0.0.1", "a b c"};
    }
    void refreshReadsThreeFiguresThenPings()
    {
        QFETCH(QString, address);
        QFETCH(QString, dns);
        QFETCH(QStringList, cards);
        FakeCommandRunner shell;
        shell.on(NetworkModel::addressCommand, {address, {}, 0});   // en1 is tried inside the line
        shell.on(NetworkModel::gatewayCommand, {"10.0.0.1", {}, 0});
        shell.on(NetworkModel::dnsCommand, {dns, {}, 0});
        shell.on("ping -c 4 '1.1.1.1' 2>&1 | tail -2", {"4 packets transmitted, 4 packets received, 0.0% packet loss\nround-trip min/avg/max/stddev = 1/2/3/0.5 ms", {}, 0});
        auto model = std::make_shared<NetworkModel>();
        settle(model->refresh());
        QCOMPARE(shell.commands(), (QStringList{"ipconfig getifaddr en0 2>/dev/null || ipconfig getifaddr en1 2>/dev/null",
                                                "netstat -nr | grep default | head -1 | awk '{print $2}'",
                                                "cat /etc/resolv.conf 2>/dev/null | grep nameserver | awk '{print $2}' | head -3 | tr '\\n' ' '",
                                                "ping -c 4 '1.1.1.1' 2>&1 | tail -2"}));
        QCOMPARE((QStringList{model->ipAddress(), model->gateway(), model->dns()}), cards);
        QCOMPARE(model->pingResult(), "round-trip min/avg/max/stddev = 1/2/3/0.5 ms");
        QVERIFY(!model->isRunning());
    }

    void pingTakesTheHostAsOneArgument_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("silence") << "example.com" << "" << QStringList{"ping -c 4 'example.com' 2>&1 | tail -2"} << "タイムアウト"
                                 << "🏓 ping example.com: ";
        QTest::newRow("quote stays inside") << "a'; rm -rf ~; '" << "ping: cannot resolve"
                                            << QStringList{"ping -c 4 'a'\\''; rm -rf ~; '\\''' 2>&1 | tail -2"} << "ping: cannot resolve"
                                            << "🏓 ping a'; rm -rf ~; ': ping: cannot resolve";
        QTest::newRow("empty host") << "" << "x" << QStringList{"ping -c 4 '' 2>&1 | tail -2"} << "x" << "🏓 ping : x";
        QTest::newRow("option refused") << "-f 127.0.0.1" << "" << QStringList{} << "—"
                                        << "❌ ping -f 127.0.0.1: 「-」で始まるホスト名は使えません";
    }
    void pingTakesTheHostAsOneArgument()
    {
        QFETCH(QString, host);
        QFETCH(QString, output);
        QFETCH(QStringList, commands);
        QFETCH(QString, result);
        QFETCH(QString, logLine);
        FakeCommandRunner shell;
        shell.otherwise([&](const QString&) { return ShellResult{output, {}, 0}; });
        auto model = std::make_shared<NetworkModel>();
        settle(model->ping(host));
        QCOMPARE(shell.commands(), commands);
        QCOMPARE(model->pingResult(), result);
        QCOMPARE(model->log(), QStringList{logLine});
    }

    // Root actions through the password dialog, the others as the user; failures are logged, not announced.
    void actionsLogTheirOutcome_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("fails");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("banner");
        const QString flush = "dscacheutil -flushcache && killall -HUP mDNSResponder",
                      wifi = "networksetup -setairportpower en0 off && sleep 1 && networksetup -setairportpower en0 on 2>&1";
        QTest::newRow("flush") << 0 << false << flush << QStringList{"🧹 DNSキャッシュをフラッシュ中…", "✅ DNSキャッシュをフラッシュしました"}
                               << QStringList{"DNSキャッシュをフラッシュしました"};
        QTest::newRow("flush cancelled") << 0 << true << flush << QStringList{"🧹 DNSキャッシュをフラッシュ中…", "❌ 認証がキャンセルされました。"} << QStringList{};
        QTest::newRow("reset") << 1 << false << "    ifconfig en0 down && sleep 1 && ifconfig en0 up\n    ipconfig set en0 DHCP"
                               << QStringList{"🔄 ネットワーク設定リセット中…", "✅ ネットワーク設定をリセットしました"} << QStringList{"ネットワーク設定をリセットしました"};
        QTest::newRow("Wi-Fi") << 2 << false << wifi << QStringList{"📡 Wi-Fiを再接続中…", "✅ Wi-Fi再接続完了"} << QStringList{"Wi-Fiを再接続しました"};
        QTest::newRow("Wi-Fi switch failed") << 2 << true << wifi << QStringList{"📡 Wi-Fiを再接続中…", "❌ ** Error: no Wi-Fi"} << QStringList{};
        QTest::newRow("speed test, address quoted")
            << 3 << false
            << "    curl -o /dev/null -s -w \"速度: %{speed_download} bytes/s\n接続時間: %{time_connect}s\n合計時間: %{time_total}s\n\"     "
               "'https://speed.cloudflare.com/__down?bytes=10000000'"
            << QStringList{"⚡ 速度テスト中（ダウンロード）…", ""} << QStringList{};
    }
    void actionsLogTheirOutcome()
    {
        QFETCH(int, action);
        QFETCH(bool, fails);
        QFETCH(QString, command);
        QFETCH(QStringList, log);
        QFETCH(QStringList, banner);
        FakeCommandRunner shell;
        shell.otherwise([&](const QString&) { return fails ? ShellResult{"", "** Error: no Wi-Fi", 1} : ShellResult{}; });
        FakeAuthorization auth;
        if (fails)
            auth.failAll(AuthError::userCancelled());
        BannerMessages messages;
        auto model = std::make_shared<NetworkModel>();
        const QList<QCoro::Task<> (NetworkModel::*)()> actions{&NetworkModel::flushDNS, &NetworkModel::resetNetwork,
                                                               &NetworkModel::reconnectWiFi, &NetworkModel::speedTest};
        settle((model.get()->*actions[action])());
        QCOMPARE(auth.commands() + shell.commands(), QStringList{command});
        QCOMPARE(model->log(), log);
        QCOMPARE(messages.take(), banner);
    }

    void logShowsTheNewestForty()
    {
        FakeCommandRunner shell;
        auto model = std::make_shared<NetworkModel>();
        for (int i = 1; i <= 45; ++i)
            settle(model->ping(QString::number(i)));
        QCOMPARE(model->shownLog().size(), 40);
        QCOMPARE(model->shownLog().first(), "🏓 ping 6: ");
        QCOMPARE(model->shownLog().last(), "🏓 ping 45: ");
        QCOMPARE(model->cards()[3].title, "Ping (1.1.1.1)");   // whatever was pinged last
    }
};

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
