#include "platform/OwnerAuthentication.h"

#include "platform/Process.h"

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

#include <unistd.h>

namespace platform {
namespace {

const char* const kPkexec = "/usr/bin/pkexec";

// pkexec's own exit statuses: the dialog was dismissed, or no authorization at all (which
// includes "no authentication agent").
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;

bool hasGraphicalSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || !qEnvironmentVariableIsEmpty("DISPLAY");
}

OwnerAuthenticationReply askPolkit()
{
    // Authorising a no-op is the owner check: polkit's agent shows its own dialog.
    ProcessRequest request;
    request.program = QString::fromLatin1(kPkexec);
    request.arguments = {QStringLiteral("/bin/true")};
    request.nullInput = true;
    request.mergeOutput = true;
    const ProcessOutcome outcome = runProcess(request);
    if (!outcome.started)
        return {OwnerAuthenticationReply::Outcome::error, outcome.launchError};
    if (outcome.exitStatus == 0 && !outcome.endedBySignal)
        return {OwnerAuthenticationReply::Outcome::success, {}};
    if (outcome.exitStatus == kPkexecDismissed)
        return {OwnerAuthenticationReply::Outcome::cancelled, {}};
    const QString text = QString::fromUtf8(outcome.standardOutput).trimmed();
    if (text.isEmpty() && outcome.exitStatus == kPkexecNotAuthorized)
        return {OwnerAuthenticationReply::Outcome::failedWithoutError, {}};
    return {OwnerAuthenticationReply::Outcome::error, text};
}

} // namespace

OwnerAuthentication& OwnerAuthentication::systemDefault()
{
    static OwnerAuthentication authentication;
    return authentication;
}

bool OwnerAuthentication::canUseBiometrics() const
{
    return false;
}

bool OwnerAuthentication::canEvaluateOwnerPolicy() const
{
    // Root needs no agent; anyone else needs pkexec and a session whose agent can ask.
    if (::geteuid() == 0)
        return true;
    return ::access(kPkexec, X_OK) == 0 && hasGraphicalSession();
}

QCoro::Task<OwnerAuthenticationReply> OwnerAuthentication::evaluateOwnerPolicy(QString reason, QString cancelTitle)
{
    // polkit's dialog shows the action's own message and button texts.
    Q_UNUSED(reason);
    Q_UNUSED(cancelTitle);
    if (::geteuid() == 0)
        co_return OwnerAuthenticationReply{OwnerAuthenticationReply::Outcome::success, {}};
    QFuture<OwnerAuthenticationReply> reply = QtConcurrent::run(QThreadPool::globalInstance(), askPolkit);
    co_return co_await reply;
}

} // namespace platform
