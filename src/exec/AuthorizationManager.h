#pragma once

#include "platform/Service.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <exception>
#include <functional>
#include <memory>

// An error that carries its own user-facing Japanese text. Callers that only need to show
// what went wrong catch std::exception and show describe(error).
class LocalizedError : public std::exception {
public:
    virtual QString errorDescription() const = 0;
    const char* what() const noexcept override;

    // What to show for any exception: a LocalizedError's errorDescription(), else what().
    static QString describe(const std::exception& error);

private:
    mutable QByteArray whatStorage_;
};

// Raised by the administrator runs.
class AuthError final : public LocalizedError {
public:
    enum class Kind { commandFailed, notAuthorized, userCancelled };

    static AuthError commandFailed(const QString& message) { return AuthError(Kind::commandFailed, message); }
    static AuthError notAuthorized() { return AuthError(Kind::notAuthorized, QString()); }
    static AuthError userCancelled() { return AuthError(Kind::userCancelled, QString()); }

    Kind kind() const { return kind_; }
    QString message() const { return message_; }     // the payload of commandFailed
    // "コマンド失敗: " + trimmed message, "管理者権限が取得できていません。", "認証がキャンセルされました。"
    QString errorDescription() const override;

    bool operator==(const AuthError& other) const { return kind_ == other.kind_ && message_ == other.message_; }

private:
    AuthError(Kind kind, QString message) : kind_(kind), message_(std::move(message)) {}
    Kind kind_;
    QString message_;
};

// The outcome of an owner authentication (Touch ID with password fallback).
struct BiometricResult {
    enum class Kind { success, cancelled, unavailable, failed };
    Kind kind = Kind::failed;
    QString message;                                  // the reason of `failed`

    static BiometricResult success() { return {Kind::success, {}}; }
    static BiometricResult cancelled() { return {Kind::cancelled, {}}; }
    static BiometricResult unavailable() { return {Kind::unavailable, {}}; }
    static BiometricResult failed(const QString& message) { return {Kind::failed, message}; }
    bool operator==(const BiometricResult&) const = default;
};

// Runs command lines as root through the script runner's administrator dialog (the program
// never sees a password) and offers the owner authentication the cleanup helper uses.
// Main thread only: every operation resumes its caller on the main thread. Administrator runs
// are strictly one at a time, in call order; the dialog never freezes the window.
class AuthorizationManager : public QObject {
    Q_OBJECT
public:
    explicit AuthorizationManager(QObject* parent = nullptr);
    ~AuthorizationManager() override;

    // The process-wide instance; a test installs a subclass with Service<AuthorizationManager>::Override.
    static AuthorizationManager& shared() { return platform::Service<AuthorizationManager>::get(); }
    static AuthorizationManager& systemDefault();

    bool isAuthorized() const { return isAuthorized_; }

    // Runs `commandLine` as root with `/bin/sh` (one administrator dialog) and returns what it
    // printed on standard output, line breaks as "\n".
    // Throws AuthError::userCancelled when the dialog is dismissed, AuthError::commandFailed
    // with the command's error output when it fails (or the runner's launch error).
    virtual QCoro::Task<QString> runPrivilegedShell(QString commandLine);

    // Runs `commandLine` as root after one administrator dialog and hands every non-empty
    // output line (standard output and error together, in order) to `onLine` on the main
    // thread while it runs. Every line is delivered before the task completes. Returns the
    // command's exit status. Throws AuthError::userCancelled when the dialog is dismissed,
    // AuthError::commandFailed when the run could not be started, its output could not be
    // followed in a file root made, or it reported no status.
    virtual QCoro::Task<int> runPrivilegedStreaming(QString commandLine, std::function<void(const QString&)> onLine);

    // Marks the session authorized; shows nothing and runs nothing. Returns true.
    virtual QCoro::Task<bool> requestAuthorization();

    // The start-up task's authorization step: requestAuthorization() unless already authorized.
    QCoro::Task<> runStartupStep();

    // Whether biometric (Touch ID) authentication can be evaluated on this machine.
    virtual bool canUseTouchID() const;
    // Owner authentication with `reason` shown in the system's dialog (cancel button "キャンセル").
    virtual QCoro::Task<BiometricResult> authenticate(QString reason);

    // True when `errorText` of a failed administrator run means the dialog was dismissed:
    // it contains "User canceled", "ユーザーによってキャンセルされました" or "-128".
    static bool isCancellationText(const QString& errorText);
    // The one-line AppleScript statement handed to the script runner for `commandLine`.
    static QString appleScript(const QString& commandLine);

signals:
    void isAuthorizedChanged(bool authorized);

protected:
    void setAuthorized(bool authorized);

private:
    class RunQueue;
    bool isAuthorized_ = false;
    std::unique_ptr<RunQueue> queue_;
};
