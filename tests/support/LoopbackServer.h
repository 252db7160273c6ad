#pragma once

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

// Serves one folder over HTTP on 127.0.0.1 only (Python's http.server on a free port) for
// the length of a test; nothing leaves the machine.
class LoopbackServer {
public:
    explicit LoopbackServer(const QString& folder)
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("python3"), {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", folder});
        const QRegularExpression announced(QStringLiteral("port (\\d+)"));
        QString seen;
        while (port_ == 0 && process_.waitForReadyRead(10000)) {
            seen += QString::fromUtf8(process_.readAll());
            const QRegularExpressionMatch match = announced.match(seen);
            if (match.hasMatch())
                port_ = match.captured(1).toInt();
        }
    }
    ~LoopbackServer()
    {
        process_.kill();
        process_.waitForFinished();
    }
    bool isRunning() const { return port_ != 0; }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1/").arg(port_) + path; }

private:
    QProcess process_;
    int port_ = 0;
};
