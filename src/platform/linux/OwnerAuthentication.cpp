#include "platform/OwnerAuthentication.h"

namespace platform {

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
    return false;
}

QCoro::Task<OwnerAuthenticationReply> OwnerAuthentication::evaluateOwnerPolicy(QString reason, QString cancelTitle)
{
    Q_UNUSED(reason);
    Q_UNUSED(cancelTitle);
    co_return OwnerAuthenticationReply{};
}

} // namespace platform
