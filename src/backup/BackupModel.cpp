#include "backup/BackupModel.h"

#include "app/AppState.h"
#include "exec/AuthorizationManager.h"
#include "exec/HumanReadable.h"
#include "exec/LineSplitter.h"
#include "exec/Quote.h"
#include "exec/SafetyBoundary.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/Workspace.h"

#include <QDateTime>
#include <QTimer>
#include <QUrl>

QString rawValue(BackupMethod method)
{
    return method == BackupMethod::timeMachine ? QStringLiteral("Time Machine") : QStringLiteral("カスタムバックアップ（tar.gz）");
}

QList<BackupMethod> allBackupMethods()
{
    return {BackupMethod::timeMachine, BackupMethod::custom};
}

BackupModel::BackupModel()
    : sourcePath_(platform::FileManager::shared().homeDirectory()), progressTimer_(new QTimer(this))
{
    progressTimer_->setInterval(500);
    connect(progressTimer_, &QTimer::timeout, this, &BackupModel::measureProgress);
}

BackupModel::~BackupModel() = default;

QSet<QString>& BackupModel::destinationsInUse()
{
    static QSet<QString> inUse;
    return inUse;
}

void BackupModel::setSelectedMethod(BackupMethod method)
{
    if (selectedMethod_ == method)
        return;
    selectedMethod_ = method;
    emit changed();
}

void BackupModel::setSourcePath(const QString& path)
{
    if (sourcePath_ == path)
        return;
    sourcePath_ = path;
    emit changed();
}

void BackupModel::setDestinationPath(const QString& path)
{
    if (destinationPath_ == path)
        return;
    destinationPath_ = path;
    emit changed();
}

void BackupModel::addExcludePath()
{
    excludePaths_ << QStringLiteral("~/");
    emit changed();
}

void BackupModel::removeExcludePath(int index)
{
    if (index < 0 || index >= excludePaths_.size())
        return;
    excludePaths_.removeAt(index);
    emit changed();
}

void BackupModel::openTimeMachineSettings()
{
    platform::Workspace::shared().openUrl(QUrl::fromLocalFile(settingsPane));
}

QString BackupModel::statusText(const QString& statusOutput)
{
    return statusOutput.contains(QStringLiteral("Running = 1")) ? QStringLiteral("🟢 実行中") : QStringLiteral("⚪ 待機中");
}

QString BackupModel::destinationText(const QString& destinationOutput)
{
    return destinationOutput.isEmpty() ? QStringLiteral("未設定") : destinationOutput.section(QLatin1Char('\n'), 0, 0);
}

QString BackupModel::lastBackupText(const QString& latestOutput)
{
    if (latestOutput.isEmpty())
        return QStringLiteral("バックアップなし");
    // The last component of the path, as a file path reads it ("/a/b/" gives "b").
    return SafetyBoundary::normalForm(latestOutput).section(QLatin1Char('/'), -1);
}

QString BackupModel::archiveFileName(const QString& stamp, int number)
{
    const QString suffix = number > 1 ? QLatin1Char('-') + QString::number(number) : QString();
    return QStringLiteral("backup-") + stamp + suffix + QStringLiteral(".tar.gz");
}

QString BackupModel::freeArchivePath(const QString& destination, const QString& stamp)
{
    // An earlier archive of the day (or a link planted at its name) is never written over.
    const platform::FileManager& files = platform::FileManager::shared();
    const QString folder = SafetyBoundary::normalForm(destination);
    for (int number = 1;; ++number) {
        const QString path = folder + QLatin1Char('/') + archiveFileName(stamp, number);
        if (!files.entryExists(path))
            return path;
    }
}

QString BackupModel::archiveCommand(const QString& archivePath, const QStringList& excludes, const QString& source,
                                    const QString& home)
{
    QStringList options;
    for (const QString& entry : excludes) {
        const QString expanded = entry.startsWith(QLatin1Char('~')) ? home + entry.mid(1) : entry;
        options << QStringLiteral("--exclude=") + Quote::singleQuoted(expanded);
    }
    return QStringLiteral("tar -czf ") + Quote::singleQuoted(archivePath) + QLatin1Char(' ') + options.join(QLatin1Char(' '))
        + QLatin1Char(' ') + Quote::singleQuoted(source) + QStringLiteral(" 2>&1 && echo 'BACKUP_DONE'");
}

std::optional<QString> BackupModel::destinationRefusal(const QString& destination, const QString& source)
{
    const platform::FileManager& files = platform::FileManager::shared();
    auto resolved = [&files](const QString& path) {
        const QString canonical = files.canonicalPath(path);
        return SafetyBoundary::normalForm(canonical.isEmpty() ? path : canonical);
    };
    const QString target = resolved(destination);
    const QString origin = resolved(source);
    // An archive inside its own source would be packed into itself while it grows.
    if (!origin.isEmpty() && (target == origin || target.startsWith(origin == QLatin1String("/") ? origin : origin + QLatin1Char('/'))))
        return QStringLiteral("保存先がバックアップ元の中にあります");
    return std::nullopt;
}

QCoro::Task<> BackupModel::appear(std::weak_ptr<BackupModel> model, AppearanceScope::Ticket ticket)
{
    return refreshWith(std::move(model), std::move(ticket));
}

QCoro::Task<> BackupModel::refreshTMStatus()
{
    auto keep = shared_from_this();
    AppearanceScope::Ticket ticket = ownScope_.ticket();
    co_await refreshWith(keep, ticket);
}

QCoro::Task<> BackupModel::refreshWith(std::weak_ptr<BackupModel> model, AppearanceScope::Ticket ticket)
{
    auto gone = [&model, &ticket] { return !ticket || model.expired(); };
    if (gone())
        co_return;
    const ShellResult status = co_await Shell::runAsync(statusCommand);
    if (gone())
        co_return;
    const ShellResult destination = co_await Shell::runAsync(destinationCommand);
    if (gone())
        co_return;
    const ShellResult latest = co_await Shell::runAsync(latestCommand);
    if (gone())
        co_return;
    auto self = model.lock();
    self->tmStatus_ = statusText(status.output);
    self->tmDestination_ = destinationText(destination.output);
    self->tmLastBackup_ = lastBackupText(latest.output);
    emit self->changed();
}

QCoro::Task<> BackupModel::startTMBackup()
{
    auto keep = shared_from_this();
    isRunningTM_ = true;
    emit changed();
    try {
        co_await AuthorizationManager::shared().runPrivilegedShell(startCommand);
        AppState::shared().showMessage(QStringLiteral("Time Machineバックアップを開始しました"), false);
    } catch (const std::exception& error) {
        AppState::shared().showMessage(QStringLiteral("開始に失敗: ") + LocalizedError::describe(error), true);
    }
    co_await refreshTMStatus();
    isRunningTM_ = false;
    emit changed();
}

void BackupModel::appendLog(const QStringList& lines)
{
    log_ += lines;
    emit logChanged();
}

void BackupModel::refuse(const QString& reason)
{
    appendLog({QStringLiteral("❌ ") + reason});
    AppState::shared().showMessage(QStringLiteral("バックアップ失敗"), true);
}

void BackupModel::measureProgress()
{
    const qint64 written = platform::FileManager::shared().fileSize(growingArchive_);
    const QString text = written < 0 ? QString() : QStringLiteral("書き込み済み: ") + humanReadable(written);
    if (text == backupProgress_)
        return;
    backupProgress_ = text;
    emit changed();
}

QCoro::Task<> BackupModel::runCustomBackup()
{
    auto keep = shared_from_this();
    if (destinationPath_.isEmpty() || isBackingUp_)
        co_return;
    log_.clear();
    emit logChanged();

    const QString source = sourcePath_;
    const QString destination = SafetyBoundary::normalForm(destinationPath_);
    const platform::FileManager& files = platform::FileManager::shared();
    const QString canonicalDestination = files.canonicalPath(destination);
    const QString destinationKey = canonicalDestination.isEmpty() ? destination : canonicalDestination;
    if (destinationsInUse().contains(destinationKey)) {
        refuse(QStringLiteral("この保存先へのバックアップは実行中です"));
        co_return;
    }
    if (const std::optional<QString> inside = destinationRefusal(destination, source)) {
        refuse(*inside);
        co_return;
    }
    const QString stamp = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).left(10);
    const QString archivePath = freeArchivePath(destination, stamp);
    const QString fileName = archivePath.section(QLatin1Char('/'), -1);

    // Root reads the source and creates the archive; both go through the boundary.
    const SafetyBoundary boundary(files);
    const Allowance allowance({source, archivePath});
    QString why;
    const std::optional<RootPath> rootSource = boundary.forRoot(source, allowance, Operation::read, &why);
    const std::optional<RootPath> rootArchive =
        rootSource ? boundary.forRoot(archivePath, allowance, Operation::create, &why) : std::nullopt;
    if (!rootSource || !rootArchive) {
        refuse(why);
        co_return;
    }

    isBackingUp_ = true;
    destinationsInUse().insert(destinationKey);
    growingArchive_ = rootArchive->path();
    progressTimer_->start();
    emit changed();
    appendLog({QStringLiteral("🚀 バックアップ開始: ") + source + QStringLiteral(" → ") + archivePath});

    const QString line = SafetyBoundary::guarded(
        {*rootSource, *rootArchive}, archiveCommand(rootArchive->path(), excludePaths_, rootSource->path(), files.homeDirectory()));
    try {
        const QString output = co_await AuthorizationManager::shared().runPrivilegedShell(line);
        // tar's own status decides: the marker follows only a tar that exited with 0, and only
        // a whole last line counts (a file name in tar's messages may hold the word too).
        const QStringList lines = LineSplitter::lines(output.toUtf8(), LineSplitter::Breaks::carriageReturnAndLineFeed);
        appendLog(lines);
        if (!lines.isEmpty() && lines.last() == doneMarker) {
            appendLog({QStringLiteral("✅ バックアップ完了！ → ") + archivePath});
            AppState::shared().showMessage(QStringLiteral("バックアップ完了: ") + fileName, false);
        }
    } catch (const std::exception& error) {
        appendLog({QStringLiteral("❌ ") + LocalizedError::describe(error)});
        AppState::shared().showMessage(QStringLiteral("バックアップ失敗"), true);
    }

    progressTimer_->stop();
    growingArchive_.clear();
    backupProgress_.clear();
    destinationsInUse().remove(destinationKey);
    isBackingUp_ = false;
    emit changed();
}
