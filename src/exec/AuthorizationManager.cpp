#include "exec/AuthorizationManager.h"

#include "exec/Quote.h"

const char* LocalizedError::what() const noexcept
{
    whatStorage_ = errorDescription().toUtf8();
    return whatStorage_.constData();
}

QString AuthError::errorDescription() const
{
    switch (kind_) {
    case Kind::commandFailed:
        return QStringLiteral("コマンド失敗: ") + message_.trimmed();
    case Kind::notAuthorized:
        return QStringLiteral("管理者権限が取得できていません。");
    case Kind::userCancelled:
        return QStringLiteral("認証がキャンセルされました。");
    }
    return QString();
}

class AuthorizationManager::RunQueue {};

AuthorizationManager::AuthorizationManager(QObject* parent)
    : QObject(parent), queue_(std::make_unique<RunQueue>())
{
}

AuthorizationManager::~AuthorizationManager() = default;

AuthorizationManager& AuthorizationManager::systemDefault()
{
    static AuthorizationManager* manager = new AuthorizationManager;
    return *manager;
}

void AuthorizationManager::setAuthorized(bool authorized)
{
    if (isAuthorized_ == authorized)
        return;
    isAuthorized_ = authorized;
    emit isAuthorizedChanged(authorized);
}

QCoro::Task<QString> AuthorizationManager::runPrivilegedShell(QString commandLine)
{
    Q_UNUSED(commandLine);
    throw AuthError::commandFailed(QStringLiteral("not implemented"));
    co_return QString();
}

QCoro::Task<int> AuthorizationManager::runPrivilegedStreaming(QString commandLine,
                                                              std::function<void(const QString&)> onLine)
{
    Q_UNUSED(commandLine);
    Q_UNUSED(onLine);
    throw AuthError::commandFailed(QStringLiteral("not implemented"));
    co_return -1;
}

QCoro::Task<bool> AuthorizationManager::requestAuthorization()
{
    setAuthorized(true);
    co_return true;
}

QCoro::Task<> AuthorizationManager::runStartupStep()
{
    if (!isAuthorized())
        co_await requestAuthorization();
}

bool AuthorizationManager::canUseTouchID() const
{
    return false;
}

QCoro::Task<BiometricResult> AuthorizationManager::authenticate(QString reason)
{
    Q_UNUSED(reason);
    co_return BiometricResult::unavailable();
}

bool AuthorizationManager::isCancellationText(const QString& errorText)
{
    return errorText.contains(QLatin1String("User canceled"))
        || errorText.contains(QStringLiteral("ユーザーによってキャンセルされました"))
        || errorText.contains(QLatin1String("-128"));
}

QString AuthorizationManager::appleScript(const QString& commandLine)
{
    return QStringLiteral("do shell script \"") + Quote::forAppleScript(commandLine)
         + QStringLiteral("\" with administrator privileges");
}
