#include "exec/CleanerHelper.h"

QStringList CleanerAction::arguments() const
{
    if (kind == Kind::purge)
        return {QStringLiteral("purge")};
    return QStringList{QStringLiteral("clean")} + directories;
}

QString CleanerError::errorDescription() const
{
    switch (kind_) {
    case Kind::authFailed:
        return QStringLiteral("Touch ID 認証に失敗しました: ") + message_;
    case Kind::execFailed:
        return QStringLiteral("ヘルパー実行エラー: ") + message_;
    case Kind::cancelled:
        return QStringLiteral("認証がキャンセルされました。");
    case Kind::notInstalled:
        return QStringLiteral("Touch ID 削除ヘルパーが未セットアップです。");
    }
    return QString();
}

QStringList CleanerHelper::allowedPaths()
{
    return {QStringLiteral("/private/tmp"), QStringLiteral("/private/var/tmp"), QStringLiteral("/Library/Caches"),
            QStringLiteral("/Library/Logs"), QStringLiteral("/opt/homebrew/var/cache"),
            QStringLiteral("/usr/local/var/cache")};
}

CleanerHelper::CleanerHelper(QObject* parent)
    : QObject(parent)
{
}

CleanerHelper::~CleanerHelper() = default;

CleanerHelper& CleanerHelper::systemDefault()
{
    static CleanerHelper* helper = new CleanerHelper;
    return *helper;
}

void CleanerHelper::setStatus(CleanerHelperStatus status)
{
    if (status_ == status)
        return;
    status_ = status;
    emit statusChanged(status);
}

QCoro::Task<CleanerHelperStatus> CleanerHelper::refreshStatus()
{
    co_return status_;
}

QCoro::Task<> CleanerHelper::install()
{
    co_return;
}

QCoro::Task<> CleanerHelper::uninstall()
{
    co_return;
}

QCoro::Task<QStringList> CleanerHelper::run(CleanerAction action, QString reason)
{
    Q_UNUSED(action);
    Q_UNUSED(reason);
    throw CleanerError::notInstalled();
    co_return QStringList();
}

QString CleanerHelper::makeScript()
{
    return makeScript(allowedPaths(), purgePath);
}

QString CleanerHelper::makeScript(const QStringList&, const QString&)
{
    return QString();
}

QString CleanerHelper::makeSudoers()
{
    return QString();
}

QString CleanerHelper::makeSudoers(const QString&)
{
    return QString();
}

QString CleanerHelper::installCommandLine(const QString&, const QString&, const QString&, const QString&)
{
    return QString();
}

QString CleanerHelper::uninstallCommandLine()
{
    return QString();
}
