#include "diagnostics/NetworkModel.h"

#include "app/AppState.h"
#include "app/AppTheme.h"
#include "exec/AuthorizationManager.h"
#include "exec/Quote.h"
#include "exec/Shell.h"

QString NetworkModel::pingCommand(const QString& host)
{
    return QStringLiteral("ping -c 4 ") + Quote::singleQuoted(host) + QStringLiteral(" 2>&1 | tail -2");
}

QString NetworkModel::speedTestCommand(const QString& address)
{
    // The address is quoted: its "?" would otherwise be a glob that zsh refuses to leave unmatched.
    return QStringLiteral("    curl -o /dev/null -s -w \"速度: %{speed_download} bytes/s\n接続時間: %{time_connect}s\n"
                          "合計時間: %{time_total}s\n\"     ")
        + Quote::singleQuoted(address);
}

QString NetworkModel::hostRefusal(const QString& host)
{
    return host.startsWith(QLatin1Char('-')) ? QStringLiteral("「-」で始まるホスト名は使えません") : QString();
}

NetworkModel::NetworkModel() : NetworkModel(Endpoints{}) {}

NetworkModel::NetworkModel(Endpoints endpoints) : endpoints_(std::move(endpoints)), customHost_(endpoints_.pingHost) {}

QList<NetCard> NetworkModel::cards() const
{
    return {
        {QStringLiteral("IPアドレス"), ipAddress_, QStringLiteral("laptopcomputer"), SystemColor::blue()},
        {QStringLiteral("デフォルトゲートウェイ"), gateway_, QStringLiteral("arrow.triangle.2.circlepath"), SystemColor::green()},
        {QStringLiteral("DNSサーバー"), dns_, QStringLiteral("server.rack"), SystemColor::purple()},
        {QStringLiteral("Ping (") + endpoints_.pingHost + QStringLiteral(")"), pingResult_, QStringLiteral("waveform"),
         SystemColor::orange()},
    };
}

void NetworkModel::append(const QString& line)
{
    log_ << line;
    emit changed();
}

QCoro::Task<> NetworkModel::appear(std::weak_ptr<NetworkModel> model, AppearanceScope::Ticket ticket)
{
    return refreshWith(std::move(model), std::move(ticket));
}

QCoro::Task<> NetworkModel::refresh()
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await refreshWith(keep, ticket);
}

QCoro::Task<> NetworkModel::refreshWith(std::weak_ptr<NetworkModel> model, AppearanceScope::Ticket ticket)
{
    QString host;
    if (auto self = model.lock(); self && ticket) {
        self->isRunning_ = true;
        host = self->endpoints_.pingHost;
        emit self->changed();
    } else {
        co_return;
    }
    const ShellResult address = co_await Shell::runAsync(addressCommand);
    if (model.expired() || !ticket)
        co_return;
    const ShellResult gateway = co_await Shell::runAsync(gatewayCommand);
    if (model.expired() || !ticket)
        co_return;
    const ShellResult dns = co_await Shell::runAsync(dnsCommand);
    if (auto self = model.lock(); self && ticket) {
        self->ipAddress_ = address.output.isEmpty() ? QStringLiteral("未接続") : address.output;
        self->gateway_ = gateway.output.isEmpty() ? QStringLiteral("—") : gateway.output;
        self->dns_ = dns.output.isEmpty() ? QStringLiteral("—") : dns.output;
        emit self->changed();
    } else {
        co_return;
    }
    co_await pingWith(model, ticket, host);
    if (auto self = model.lock(); self && ticket) {
        self->isRunning_ = false;
        emit self->changed();
    }
}

QCoro::Task<> NetworkModel::ping(QString host)
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await pingWith(keep, ticket, host);
}

QCoro::Task<> NetworkModel::pingWith(std::weak_ptr<NetworkModel> model, AppearanceScope::Ticket ticket, QString host)
{
    const QString refusal = hostRefusal(host);
    if (!refusal.isEmpty()) {
        if (auto self = model.lock(); self && ticket)
            self->append(QStringLiteral("❌ ping ") + host + QStringLiteral(": ") + refusal);
        co_return;
    }
    const QString line = pingCommand(host);
    const ShellResult result = co_await Shell::runAsync(line);
    auto self = model.lock();
    if (!self || !ticket)
        co_return;
    self->pingResult_ = result.output.isEmpty() ? QStringLiteral("タイムアウト")
                                                : result.output.split(QLatin1Char('\n')).constLast();
    self->append(QStringLiteral("🏓 ping ") + host + QStringLiteral(": ") + result.output);
}

QCoro::Task<> NetworkModel::flushDNS()
{
    return runPrivileged(QStringLiteral("🧹 DNSキャッシュをフラッシュ中…"), flushCommand,
                         QStringLiteral("✅ DNSキャッシュをフラッシュしました"), QStringLiteral("DNSキャッシュをフラッシュしました"));
}

QCoro::Task<> NetworkModel::resetNetwork()
{
    return runPrivileged(QStringLiteral("🔄 ネットワーク設定リセット中…"), resetScript,
                         QStringLiteral("✅ ネットワーク設定をリセットしました"), QStringLiteral("ネットワーク設定をリセットしました"));
}

QCoro::Task<> NetworkModel::runPrivileged(QString start, QString script, QString done, QString message)
{
    auto keep = shared_from_this();
    append(start);
    try {
        co_await AuthorizationManager::shared().runPrivilegedShell(script);
        append(done);
        AppState::shared().showMessage(message, false);
    } catch (const std::exception& error) {
        append(QStringLiteral("❌ ") + LocalizedError::describe(error));
    }
}

QCoro::Task<> NetworkModel::reconnectWiFi()
{
    auto keep = shared_from_this();
    append(QStringLiteral("📡 Wi-Fiを再接続中…"));
    const ShellResult result = co_await Shell::runAsync(wifiCommand);
    if (result.exitCode != 0) {
        // Switching the radio failed: say so, and do not announce a reconnection.
        QString reason = result.error.isEmpty() ? result.output : result.error;
        if (reason.isEmpty())
            reason = QStringLiteral("終了コード %1").arg(result.exitCode);
        append(QStringLiteral("❌ ") + reason);
        co_return;
    }
    append(result.output.isEmpty() ? QStringLiteral("✅ Wi-Fi再接続完了") : result.output);
    AppState::shared().showMessage(QStringLiteral("Wi-Fiを再接続しました"), false);
}

QCoro::Task<> NetworkModel::speedTest()
{
    auto keep = shared_from_this();
    append(QStringLiteral("⚡ 速度テスト中（ダウンロード）…"));
    const QString line = speedTestCommand(speedTestAddress);
    const ShellResult result = co_await Shell::runAsync(line);
    append(result.output);
}
