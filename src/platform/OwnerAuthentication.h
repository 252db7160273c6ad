#pragma once

#include "platform/Service.h"

#include <QString>
#include <qcoro/qcorotask.h>

namespace platform {

// The reply of one owner-authentication evaluation, in the system's terms.
struct OwnerAuthenticationReply {
    enum class Outcome {
        success,
        failedWithoutError,   // the system said no but gave no reason
        cancelled,            // the user, the system or the application cancelled
        error,                // any other error; `errorDescription` holds the system's text
    };
    Outcome outcome = Outcome::failedWithoutError;
    QString errorDescription;
};

// Local authentication of the machine's owner. On macOS: LAContext with the biometrics-only
// policy (canUseBiometrics) and the owner policy, biometrics with password fallback
// (canEvaluateOwnerPolicy / evaluateOwnerPolicy). On Linux: polkit through pkexec running a
// no-op, available where an authentication agent can answer (or for root, who needs none);
// Linux has no biometrics-only policy.
class OwnerAuthentication {
public:
    virtual ~OwnerAuthentication() = default;
    virtual bool canUseBiometrics() const;
    virtual bool canEvaluateOwnerPolicy() const;
    // Shows the system's dialog with `reason`; never blocks the calling thread and resumes on it.
    virtual QCoro::Task<OwnerAuthenticationReply> evaluateOwnerPolicy(QString reason, QString cancelTitle);

    static OwnerAuthentication& systemDefault();
    static OwnerAuthentication& shared() { return Service<OwnerAuthentication>::get(); }
};

} // namespace platform
