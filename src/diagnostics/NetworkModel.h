#pragma once

#include "exec/ScreenLifetime.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

#include <memory>

// One information card of the network screen.
struct NetCard {
    QString title;
    QString value;
    QString icon;
    QColor color;
};

// Network diagnostics: address, gateway, name servers, ping, and the quick actions. Main thread
// only; owned by its view (exec/ScreenLifetime.h). Actions are not serialised: several may run
// at once and interleave their log lines.
class NetworkModel final : public QObject, public std::enable_shared_from_this<NetworkModel> {
    Q_OBJECT
public:
    // Where the ping card goes. Tests point it at the loopback address.
    struct Endpoints {
        QString pingHost = QStringLiteral("1.1.1.1");
    };
    static inline const QString speedTestAddress = QStringLiteral("https://speed.cloudflare.com/__down?bytes=10000000");

    static inline const QString addressCommand =
        QStringLiteral("ipconfig getifaddr en0 2>/dev/null || ipconfig getifaddr en1 2>/dev/null");
    static inline const QString gatewayCommand = QStringLiteral("netstat -nr | grep default | head -1 | awk '{print $2}'");
    static inline const QString dnsCommand = QStringLiteral(
        "cat /etc/resolv.conf 2>/dev/null | grep nameserver | awk '{print $2}' | head -3 | tr '\\n' ' '");
    static inline const QString flushCommand = QStringLiteral("dscacheutil -flushcache && killall -HUP mDNSResponder");
    static inline const QString resetScript =
        QStringLiteral("    ifconfig en0 down && sleep 1 && ifconfig en0 up\n    ipconfig set en0 DHCP");
    static inline const QString wifiCommand = QStringLiteral(
        "networksetup -setairportpower en0 off && sleep 1 && networksetup -setairportpower en0 on 2>&1");
    // The host reaches ping as one argument whatever it contains.
    static QString pingCommand(const QString& host);
    static QString speedTestCommand(const QString& address);
    // Why a host is not pinged, or "" when it may be: a leading "-" would be read as an option.
    static QString hostRefusal(const QString& host);
    static constexpr int shownLogEntries = 40;

    NetworkModel();
    explicit NetworkModel(Endpoints endpoints);

    const Endpoints& endpoints() const { return endpoints_; }
    QString ipAddress() const { return ipAddress_; }
    QString gateway() const { return gateway_; }
    QString dns() const { return dns_; }
    QString pingResult() const { return pingResult_; }
    bool isRunning() const { return isRunning_; }
    QStringList log() const { return log_; }
    // The entries the log area shows: the newest 40, oldest first.
    QStringList shownLog() const { return log_.mid(qMax(0, int(log_.size()) - shownLogEntries)); }
    QString customHost() const { return customHost_; }
    void setCustomHost(const QString& host) { customHost_ = host; }
    QList<NetCard> cards() const;

    static QCoro::Task<> appear(std::weak_ptr<NetworkModel> model, AppearanceScope::Ticket ticket);
    QCoro::Task<> refresh();
    QCoro::Task<> ping(QString host);
    QCoro::Task<> flushDNS();
    QCoro::Task<> resetNetwork();
    QCoro::Task<> reconnectWiFi();
    QCoro::Task<> speedTest();

signals:
    void changed();

private:
    static QCoro::Task<> refreshWith(std::weak_ptr<NetworkModel> model, AppearanceScope::Ticket ticket);
    static QCoro::Task<> pingWith(std::weak_ptr<NetworkModel> model, AppearanceScope::Ticket ticket, QString host);
    QCoro::Task<> runPrivileged(QString start, QString script, QString done, QString message);
    void append(const QString& line);

    Endpoints endpoints_;
    QString ipAddress_ = QStringLiteral("—");
    QString gateway_ = QStringLiteral("—");
    QString dns_ = QStringLiteral("—");
    QString pingResult_ = QStringLiteral("—");
    bool isRunning_ = false;
    QStringList log_;
    QString customHost_;
    AppearanceScope ownScope_;
};
