#pragma once

#include "exec/AuthorizationManager.h"
#include "platform/Service.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <qcoro/qcorotask.h>

enum class CleanerHelperStatus {
    installed,   // present, runnable through `sudo -n`, reports the current version
    outdated,    // runnable, reports another version
    missing,     // absent, or `sudo -n` refuses to run it
};

// What the helper is asked to do.
struct CleanerAction {
    enum class Kind { clean, purge };
    Kind kind = Kind::purge;
    QStringList directories;                          // for clean, in order

    static CleanerAction clean(const QStringList& directories) { return {Kind::clean, directories}; }
    static CleanerAction purge() { return {Kind::purge, {}}; }
    // The helper's command-line arguments: "clean" + directories, or "purge".
    QStringList arguments() const;
    bool operator==(const CleanerAction&) const = default;
};

class CleanerError final : public LocalizedError {
public:
    enum class Kind { authFailed, execFailed, cancelled, notInstalled };

    static CleanerError authFailed(const QString& message) { return CleanerError(Kind::authFailed, message); }
    static CleanerError execFailed(const QString& message) { return CleanerError(Kind::execFailed, message); }
    static CleanerError cancelled() { return CleanerError(Kind::cancelled, QString()); }
    static CleanerError notInstalled() { return CleanerError(Kind::notInstalled, QString()); }

    Kind kind() const { return kind_; }
    QString message() const { return message_; }
    // "Touch ID 認証に失敗しました: " + message, "ヘルパー実行エラー: " + message,
    // "認証がキャンセルされました。", "Touch ID 削除ヘルパーが未セットアップです。"
    QString errorDescription() const override;

    bool operator==(const CleanerError& other) const { return kind_ == other.kind_ && message_ == other.message_; }

private:
    CleanerError(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_;
    QString message_;
};

// The helper cannot be set up as asked, found before any administrator dialog (for
// instance a login name that sudoers would read as a keyword); the message says why.
class HelperPreparationError final : public LocalizedError {
public:
    explicit HelperPreparationError(QString message) : message_(std::move(message)) {}
    QString message() const { return message_; }
    QString errorDescription() const override { return message_; }

private:
    QString message_;
};

// The root-owned cleanup helper: a small shell script that a sudoers rule lets the user run
// without a password, guarded in the program by owner authentication. It only ever empties
// one of the allowed directories. Main thread only; operations resume on the main thread.
class CleanerHelper : public QObject {
    Q_OBJECT
public:
    static inline const QString helperVersion = QStringLiteral("2.2.0");
    static inline const QString purgePath = QStringLiteral("/usr/sbin/purge");
    // The directories the helper may empty, in this order.
    static QStringList allowedPaths();

    explicit CleanerHelper(QObject* parent = nullptr);
    ~CleanerHelper() override;

    static CleanerHelper& shared() { return platform::Service<CleanerHelper>::get(); }
    static CleanerHelper& systemDefault();

    CleanerHelperStatus status() const { return status_; }

    // Probes the helper and publishes the result in status().
    virtual QCoro::Task<CleanerHelperStatus> refreshStatus();
    // Installs the helper and its rule with one administrator dialog, then refreshes.
    // Throws HelperPreparationError, before any dialog, when no rule can be written for the
    // login name; AuthError otherwise.
    virtual QCoro::Task<> install();
    // Removes the helper and its rule with one administrator dialog, then refreshes. Throws AuthError.
    virtual QCoro::Task<> uninstall();
    // Owner authentication with `reason`, then the helper as root. Returns its output lines
    // (empty ones dropped). Throws CleanerError.
    virtual QCoro::Task<QStringList> run(CleanerAction action, QString reason);

    // The helper script as installed.
    static QString makeScript();
    // The same script with another allow-list and purge program (tests point them at temporary places).
    static QString makeScript(const QStringList& allowed, const QString& purgeProgram);
    // The sudoers rule for the login name of the user running the program. Throws
    // HelperPreparationError for a name sudoers would not read as one user: empty, ALL or
    // another alias-like word, a keyword that opens a line, a prefix such as % + # : ! @,
    // or one with control characters.
    static QString makeSudoers();
    static QString makeSudoers(const QString& userName);
    // The installed helper's path (platform::SystemLocations::helperPath).
    static QString helperPath();
    // The one root command line of install(), carrying the two files' texts itself.
    static QString installCommandLine(const QString& script, const QString& sudoers);
    static QString uninstallCommandLine();

signals:
    void statusChanged(CleanerHelperStatus status);

protected:
    void setStatus(CleanerHelperStatus status);

private:
    CleanerHelperStatus status_ = CleanerHelperStatus::missing;
};
