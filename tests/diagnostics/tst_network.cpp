#include "diagnostics/NetworkModel.h"
#include "support/BannerMessages.h"
#include "support/FakeCommandRunner.h"
#include "support/FakePrivileged.h"

#include <QtTest>

class NetworkTest : public QObject {
    Q_OBJECT

private slots:
    void refreshReadsThreeFiguresThenPings()
    {
        FakeCommandRunner shell;
        shell.on(NetworkModel::addressCommand, {"192.168.1.5", {}, 0});   // en1 is tried inside the line
        shell.on(NetworkModel::gatewayCommand, {"10.0.0.1", {}, 0});
        shell.on(NetworkModel::dnsCommand, {"1.1.1.1 8.8.8.8", {}, 0});
        shell.on("ping -c 4 '1.1.1.1' 2>&1 | tail -2", {"4 packets transmitted, 4 packets received, 0.0% packet loss\nround-trip min/avg/max/stddev = 1/2/3/0.5 ms", {}, 0});
        auto model = std::make_shared<NetworkModel>();
        settle(model->refresh());
        QCOMPARE(shell.commands(), (QStringList{"ipconfig getifaddr en0 2>/dev/null || ipconfig getifaddr en1 2>/dev/null",
                                                "netstat -nr | grep default | head -1 | awk '{print $2}'",
                                                "cat /etc/resolv.conf 2>/dev/null | grep nameserver | awk '{print $2}' | head -3 | tr '\\n' ' '",
                                                "ping -c 4 '1.1.1.1' 2>&1 | tail -2"}));
        QCOMPARE((QStringList{model->ipAddress(), model->gateway(), model->dns(), model->pingResult()}),
                 (QStringList{"192.168.1.5", "10.0.0.1", "1.1.1.1 8.8.8.8", "round-trip min/avg/max/stddev = 1/2/3/0.5 ms"}));
        QVERIFY(!model->isRunning());
    }

    // The host, what ping prints, then the line run, the result and the log line, joined by "|".
    void pingTakesTheHostAsOneArgument()
    {
        const struct { QString host, output, expected; } rows[] = {
            {"example.com", "", "ping -c 4 'example.com' 2>&1 | tail -2|タイムアウト|🏓 ping example.com: "},
            {"a'; rm -rf ~; '", "ping: cannot resolve",
             "ping -c 4 'a'\\''; rm -rf ~; '\\''' 2>&1 | tail -2|ping: cannot resolve|🏓 ping a'; rm -rf ~; ': ping: cannot resolve"},
            {"", "x", "ping -c 4 '' 2>&1 | tail -2|x|🏓 ping : x"},
            {"-f 127.0.0.1", "", "—|❌ ping -f 127.0.0.1: 「-」で始まるホスト名は使えません"},   // refused: nothing runs
        };
        for (const auto& row : rows) {
            FakeCommandRunner shell;
            shell.otherwise([&](const QString&) { return ShellResult{row.output, {}, 0}; });
            auto model = std::make_shared<NetworkModel>();
            settle(model->ping(row.host));
            QCOMPARE((shell.commands() + QStringList{model->pingResult()} + model->log()).join('|'), row.expected);
        }
    }

    // Root actions through the password dialog, the others as the user; failures are logged, not announced.
    void actionsLogTheirOutcome()
    {
        const QString flush = "dscacheutil -flushcache && killall -HUP mDNSResponder",
                      wifi = "networksetup -setairportpower en0 off && sleep 1 && networksetup -setairportpower en0 on 2>&1";
        const struct { QCoro::Task<> (NetworkModel::*action)(); bool fails; QString command; QStringList log, banner; } rows[] = {
            {&NetworkModel::flushDNS, false, flush, {"🧹 DNSキャッシュをフラッシュ中…", "✅ DNSキャッシュをフラッシュしました"}, {"DNSキャッシュをフラッシュしました"}},
            {&NetworkModel::flushDNS, true, flush, {"🧹 DNSキャッシュをフラッシュ中…", "❌ 認証がキャンセルされました。"}, {}},
            {&NetworkModel::resetNetwork, false, "    ifconfig en0 down && sleep 1 && ifconfig en0 up\n    ipconfig set en0 DHCP",
             {"🔄 ネットワーク設定リセット中…", "✅ ネットワーク設定をリセットしました"}, {"ネットワーク設定をリセットしました"}},
            {&NetworkModel::reconnectWiFi, false, wifi, {"📡 Wi-Fiを再接続中…", "✅ Wi-Fi再接続完了"}, {"Wi-Fiを再接続しました"}},
            {&NetworkModel::reconnectWiFi, true, wifi, {"📡 Wi-Fiを再接続中…", "❌ ** Error: no Wi-Fi"}, {}},
            {&NetworkModel::speedTest, false,   // the address quoted
             "    curl -o /dev/null -s -w \"速度: %{speed_download} bytes/s\n接続時間: %{time_connect}s\n合計時間: %{time_total}s\n\"     "
             "'https://speed.cloudflare.com/__down?bytes=10000000'",
             {"⚡ 速度テスト中（ダウンロード）…", ""}, {}},
        };
        for (const auto& row : rows) {
            FakeCommandRunner shell;
            shell.otherwise([&](const QString&) { return row.fails ? ShellResult{"", "** Error: no Wi-Fi", 1} : ShellResult{}; });
            FakeAuthorization auth;
            if (row.fails)
                auth.failAll(AuthError::userCancelled());
            BannerMessages messages;
            auto model = std::make_shared<NetworkModel>();
            settle((model.get()->*row.action)());
            QCOMPARE(auth.commands() + shell.commands(), QStringList{row.command});
            QCOMPARE(model->log(), row.log);
            QCOMPARE(messages.take(), row.banner);
        }
    }
};

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
