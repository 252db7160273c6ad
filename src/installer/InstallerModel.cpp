#include "installer/InstallerModel.h"

#include "app/AppState.h"
#include "exec/AuthorizationManager.h"
#include "exec/HumanReadable.h"
#include "exec/LineSplitter.h"
#include "exec/Quote.h"
#include "exec/SafetyBoundary.h"
#include "exec/Shell.h"
#include "installer/CatalogManager.h"
#include "platform/FileFacts.h"
#include "platform/Kernel.h"
#include "platform/PropertyList.h"
#include "platform/SystemLocations.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>
#include <QFuture>
#include <QLocale>
#include <QRegularExpression>
#include <QUrl>
#include <qcoro/qcorofuture.h>

#include <algorithm>
#include <cmath>

namespace {

const QString settingsURL = QStringLiteral("x-apple.systempreferences:com.apple.preferences.softwareupdate");

// Packages being downloaded and disks being written anywhere in the process: a screen left
// and shown again must not start the same work a second time on the same file or disk.
QSet<QString>& runningDownloads()
{
    static QSet<QString> paths;
    return paths;
}

QSet<QString>& disksInUse()
{
    static QSet<QString> names;
    return names;
}

QString cdnURL(const QString& path)
{
    return QStringLiteral("https://") + Installers::cdnHost() + path;
}

QString storeURL(const QString& path)
{
    return QStringLiteral("macappstores://") + Installers::appStoreHost() + path + QStringLiteral("?mt=12");
}

MacOSVersion builtIn(const QString& name, const QString& version, const QString& directURL, const QString& pkgPath,
                     const QString& note)
{
    MacOSVersion entry;
    entry.name = name;
    entry.version = version;
    entry.installerVersion = version;
    entry.directURL = directURL;
    entry.pkgURL = cdnURL(pkgPath);
    entry.note = note;
    return entry;
}

// The catalog's size of the package at `url`; 0 when the catalog does not know it.
qint64 catalogSize(const QString& url)
{
    for (const CatalogEntry& entry : CatalogManager::shared().entries())
        if (entry.pkgURL == url && entry.pkgSizeBytes > 0)
            return entry.pkgSizeBytes;
    return 0;
}

QString remainingText(qint64 seconds)
{
    if (seconds >= 3600)
        return QString::number(seconds / 3600) + QStringLiteral("時間") + QString::number(seconds % 3600 / 60) + QStringLiteral("分");
    if (seconds >= 60)
        return QString::number(seconds / 60) + QStringLiteral("分") + QString::number(seconds % 60) + QStringLiteral("秒");
    return QString::number(seconds) + QStringLiteral("秒");
}

// Removes a package of ours off the main thread; a refusal or failure is ignored.
QCoro::Task<> removePackage(QString path)
{
    QFuture<void> removal = Shell::inPool(Shell::commandPool(), [path] {
        SafetyBoundary().removeItem(path, Allowance(QStringList{path}));
    });
    co_await removal;
}

} // namespace

QString MacOSVersion::badge() const
{
    if (isBeta)
        return QStringLiteral("BETA");
    if (version == QLatin1String("27"))
        return QStringLiteral("NEW");
    return QString();
}

QString MacOSVersion::storeButtonTitle() const
{
    if (!directURL || !QUrl(*directURL, QUrl::StrictMode).isValid() || QUrl(*directURL).scheme().isEmpty())
        return QString();
    return version < QLatin1String("26") ? QStringLiteral("App Store") : QStringLiteral("システム設定");
}

namespace Installers {

QString cdnHost() { return QStringLiteral("swcdn.apple.com"); }
QString appStoreHost() { return QStringLiteral("apps.apple.com"); }
QString supportHost() { return QStringLiteral("support.apple.com"); }
QString softwareUpdateSettingsURL() { return settingsURL; }
QString guideURL() { return QStringLiteral("https://") + supportHost() + QStringLiteral("/ja-jp/102662"); }

QList<MacOSVersion> builtInVersions()
{
    const QString cdnNote = QStringLiteral("App Store または Apple CDN から入手可能です。");
    return {
        builtIn(QStringLiteral("macOS Golden Gate"), QStringLiteral("27"), settingsURL,
                QStringLiteral("/content/downloads/01/05/142-15488-A_9XNIAXWVVL/5ajxcy8xk014o98zz1uut0zrlaj2nx91ln/InstallAssistant.pkg"),
                QStringLiteral("Apple Silicon (M1以降) 専用の最新正式リリース版です。")),
        builtIn(QStringLiteral("macOS Tahoe"), QStringLiteral("26"), settingsURL,
                QStringLiteral("/content/downloads/52/44/142-16670-A_C1NGFF0VNT/e1mno92ap4g9s6epq5bbee9a57b5tm983g/InstallAssistant.pkg"),
                QStringLiteral("macOS 26 正式リリース版です。")),
        builtIn(QStringLiteral("macOS Sequoia"), QStringLiteral("15"), storeURL(QStringLiteral("/jp/app/macos-sequoia/id6596773750")),
                QStringLiteral("/content/downloads/24/14/142-16660-A_CTI1XX4VYC/dwxnuxoud4401qcf8to49p8iq1ij987j1e/InstallAssistant.pkg"),
                cdnNote),
        builtIn(QStringLiteral("macOS Sonoma"), QStringLiteral("14"), storeURL(QStringLiteral("/jp/app/macos-sonoma/id6450717509")),
                QStringLiteral("/content/downloads/13/30/140-88558-A_TN3FIE7J63/p61cqj3ktmcqilz3q64ls4ekp1os9c8qbp/InstallAssistant.pkg"),
                cdnNote),
        builtIn(QStringLiteral("macOS Ventura"), QStringLiteral("13"), storeURL(QStringLiteral("/jp/app/macos-ventura/id1638787999")),
                QStringLiteral("/content/downloads/09/46/093-22004-A_QNZEDC334I/phigx2zvoggml6sh79my4y51fnvgy8hix4/InstallAssistant.pkg"),
                cdnNote),
        builtIn(QStringLiteral("macOS Monterey"), QStringLiteral("12"), storeURL(QStringLiteral("/jp/app/macos-monterey/id1576738294")),
                QStringLiteral("/content/downloads/24/16/062-40406-A_LQ4WW26M04/j7bl9ygay5prezturwh72ai10fvseh2uhw/InstallAssistant.pkg"),
                cdnNote),
    };
}

QList<MacOSVersion> mergedVersions(const QList<CatalogEntry>& entries)
{
    if (entries.isEmpty())
        return builtInVersions();
    QSet<QString> catalogURLs;
    for (const CatalogEntry& entry : entries)
        catalogURLs.insert(entry.pkgURL);
    QList<MacOSVersion> versions;
    for (const CatalogEntry& entry : entries) {
        MacOSVersion version;
        version.name = entry.macOSName;
        version.version = entry.version;
        version.installerVersion = entry.version;
        if (!entry.buildNumber.isEmpty())
            version.buildNumber = entry.buildNumber;
        version.isBeta = entry.macOSName.toLower().contains(QLatin1String("beta"));
        if (!(entry.version < QLatin1String("26")))
            version.directURL = settingsURL;
        version.pkgURL = entry.pkgURL;
        const QString size = entry.pkgSizeBytes < 1 ? QStringLiteral("不明")
                                                    : fixedDecimal(double(entry.pkgSizeBytes) / 1073741824.0, 1) + QStringLiteral(" GB");
        version.note = QStringLiteral("Apple公式カタログ取得（ビルド: ") + entry.buildNumber + QStringLiteral("）— 容量: ") + size;
        versions.append(version);
    }
    for (const MacOSVersion& version : builtInVersions())
        if (!version.pkgURL || !catalogURLs.contains(*version.pkgURL))
            versions.append(version);
    return versions;
}

QString formatDate(const QDateTime& date)
{
    return QLocale(QStringLiteral("ja_JP")).toString(date.toLocalTime(), QLocale::ShortFormat);
}

bool isPlainVersion(const QString& text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]*$"));
    return plain.match(text).hasMatch();
}

std::optional<double> curlProgress(const QString& line)
{
    static const QRegularExpression percent(QStringLiteral("(\\d{1,3}(?:[.,]\\d+)?)%\\s*$"));
    const QRegularExpressionMatch match = percent.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    QString number = match.captured(1);
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    const double value = number.toDouble() / 100.0;
    if (value < 0 || value > 1)
        return std::nullopt;
    return value;
}

bool isWholeDiskIdentifier(const QString& name)
{
    static const QRegularExpression disk(QStringLiteral("^disk[0-9]+$"));
    return disk.match(name).hasMatch();
}

QList<DiskInfo> parseDiskList(const QString& output)
{
    if (output.isEmpty())
        return {};
    const std::optional<platform::PropertyList> list = platform::PropertyList::fromData(output.toUtf8());
    if (!list)
        return {};
    const platform::PropertyNode disks = list->root()["AllDisksAndPartitions"];
    if (!disks.isArray())
        return {};
    const qsizetype count = disks.count();
    for (qsizetype i = 0; i < count; ++i)
        if (!disks.at(i).isDictionary())
            return {};
    QList<DiskInfo> found;
    for (qsizetype i = 0; i < count; ++i) {
        const platform::PropertyNode disk = disks.at(i);
        const std::optional<QString> identifier = disk["DeviceIdentifier"].string();
        const std::optional<qint64> size = disk["Size"].integer();
        // Only a whole disk's plain identifier may ever reach the erasing command line.
        if (!identifier || !size || !isWholeDiskIdentifier(*identifier))
            continue;
        DiskInfo info;
        info.name = *identifier;
        info.displayName = QStringLiteral("/dev/") + *identifier;
        info.sizeBytes = *size;
        found.append(info);
    }
    return found;
}

} // namespace Installers

InstallerModel::InstallerModel() = default;
InstallerModel::~InstallerModel() = default;

void InstallerModel::selectVersion(const MacOSVersion& version)
{
    selectedVersion_ = version;
    selectedCatalogEntry_.reset();
    emit changed();
}

void InstallerModel::selectDisk(const QUuid& id)
{
    for (const DiskInfo& disk : availableDisks_)
        if (disk.id == id)
            selectedDisk_ = disk;
    emit disksChanged();
}

void InstallerModel::setShowUSBConfirm(bool show)
{
    showUSBConfirm_ = show;
    emit changed();
}

QString InstallerModel::confirmButtonTitle() const
{
    return QStringLiteral("作成する（") + (selectedDisk_ ? selectedDisk_->name : QString()) + QStringLiteral("を消去）");
}

void InstallerModel::appendLog(const QString& line)
{
    downloadLog_.append(line);
    emit logChanged();
}

void InstallerModel::setDownloading(bool downloading)
{
    isDownloading_ = downloading;
    emit changed();
}

std::optional<QString> InstallerModel::packagePath(const MacOSVersion& version)
{
    if (!Installers::isPlainVersion(version.version))
        return std::nullopt;
    return platform::SystemLocations::shared().systemTemporaryDirectory + QStringLiteral("/InstallAssistant-") + version.version
         + QStringLiteral(".pkg");
}

bool InstallerModel::isDownloadRunning(const MacOSVersion& version)
{
    const std::optional<QString> path = packagePath(version);
    return path && runningDownloads().contains(*path);
}

QString InstallerModel::expansionCommand(const QString& pkgPath, unsigned userId)
{
    const QString quoted = Quote::singleQuoted(pkgPath);
    return QStringLiteral("[ -n \"$(/usr/bin/find ") + quoted + QStringLiteral(" -maxdepth 0 -type f -user ") + QString::number(userId)
         + QStringLiteral(" ! -perm -020 ! -perm -002 2>/dev/null)\" ] || { echo '❌ パッケージが差し替えられた可能性があるため展開しません'; "
                          "exit 1; }; installer -pkg ")
         + quoted + QStringLiteral(" -target / 2>&1");
}

QCoro::Task<> InstallerModel::appearanceTask()
{
    const AppearanceScope::Ticket ticket = appearance.ticket();
    std::weak_ptr<InstallerModel> weak = weak_from_this();
    if (auto model = weak.lock()) {
        QCoro::Task<> disks = model->refreshDisks();
        co_await std::move(disks);
    }
    if (!ticket || weak.expired())
        co_return;
    CatalogManager& catalog = CatalogManager::shared();
    if (CatalogManager::isStale(catalog.lastRefreshDate(), QDateTime::currentDateTimeUtc())) {
        QCoro::Task<> refresh = catalog.refresh();
        co_await std::move(refresh);
    }
}

void InstallerModel::noteProgress(const QString& line)
{
    const std::optional<double> fraction = Installers::curlProgress(line);
    if (!fraction)
        return;
    downloadFraction_ = fraction;
    if (downloadTotal_ > 0) {
        const qint64 done = qint64(std::llround(*fraction * double(downloadTotal_)));
        downloadProgressText_ = humanReadable(done) + QStringLiteral(" / ") + humanReadable(downloadTotal_);
        const qint64 elapsed = QDateTime::currentSecsSinceEpoch() - downloadStartedAt_;
        if (*fraction > 0.001 && elapsed > 0)
            downloadProgressText_ += QStringLiteral("（残り約 ")
                                   + remainingText(qint64(double(elapsed) * (1.0 - *fraction) / *fraction)) + QStringLiteral("）");
    } else {
        downloadProgressText_ = fixedDecimal(*fraction * 100.0, 1) + QStringLiteral("%");
    }
    emit progressChanged();
}

QCoro::Task<bool> InstallerModel::runStreamingProcess(QString cmd)
{
    std::weak_ptr<InstallerModel> weak = weak_from_this();
    // Lines wait here until the main thread takes them, in order. The worker asks for a drain
    // after each chunk; the last drain happens here once the command has ended, so no line
    // can arrive after the run is reported finished, however fast it was.
    struct Pending {
        QMutex mutex;
        QStringList lines;
    };
    auto pending = std::make_shared<Pending>();
    auto drain = [weak, pending] {
        QStringList lines;
        {
            QMutexLocker lock(&pending->mutex);
            lines.swap(pending->lines);
        }
        if (auto model = weak.lock())
            for (const QString& line : lines) {
                model->appendLog(line);
                model->noteProgress(line);
            }
    };
    QFuture<int> run = Shell::inPool(Shell::commandPool(), [cmd, pending, drain] {
        // The splitter carries a line (or a character) cut by a chunk boundary over to the
        // next chunk, and curl's carriage returns end lines too.
        LineSplitter splitter;
        const auto add = [&](const QStringList& lines) {
            if (lines.isEmpty())
                return;
            {
                QMutexLocker lock(&pending->mutex);
                pending->lines.append(lines);
            }
            QMetaObject::invokeMethod(QCoreApplication::instance(), drain, Qt::QueuedConnection);
        };
        const int status = platform::StreamingRunner::shared().run(cmd, [&](QByteArrayView chunk) {
            QByteArray bytes = chunk.toByteArray();
            bytes.replace('\r', '\n');
            add(splitter.feed(bytes));
        });
        add(splitter.finish());
        return status;
    });
    const int status = co_await run;
    drain();
    co_return status == 0;
}

void InstallerModel::finishDownload(const QString& pkgPath)
{
    runningDownloads().remove(pkgPath);
    setDownloading(false);
}

QCoro::Task<> InstallerModel::downloadInstaller(MacOSVersion version)
{
    auto keep = shared_from_this();
    setDownloading(true);
    downloadLog_ = {QStringLiteral("🚀 ") + version.name + QStringLiteral("（正式版）のダウンロード処理を開始します…")};
    emit logChanged();

    if (version.pkgURL && !version.pkgURL->isEmpty()) {
        const std::optional<QString> pkgPath = packagePath(version);
        QString refusal;
        if (!pkgPath)
            refusal = QStringLiteral("❌ バージョン表記「") + version.version + QStringLiteral("」はファイル名に使えないため中止しました。");
        else if (!CatalogManager::isFetchableURL(*version.pkgURL))
            refusal = QStringLiteral("❌ http(s) の URL ではないためダウンロードしません: ") + *version.pkgURL;
        else if (runningDownloads().contains(*pkgPath))
            refusal = QStringLiteral("❌ このパッケージは既にダウンロード中です: ") + *pkgPath;
        if (!refusal.isEmpty()) {
            appendLog(refusal);
            AppState::shared().showMessage(QStringLiteral("ダウンロードに失敗しました"), true);
            setDownloading(false);
            co_return;
        }
        runningDownloads().insert(*pkgPath);
        const QString path = *pkgPath;
        const bool downloaded = co_await downloadPackage(version, path);
        if (downloaded)
            co_await expandPackage(version, path);
        finishDownload(path);
        co_return;
    }

    const QString installerVersion = version.installerVersion.value_or(QString());
    if (!installerVersion.isEmpty() && !Installers::isPlainVersion(installerVersion)) {
        appendLog(QStringLiteral("❌ バージョン表記「") + installerVersion + QStringLiteral("」は softwareupdate に渡せないため中止しました。"));
        AppState::shared().showMessage(QStringLiteral("ダウンロードに失敗しました"), true);
        setDownloading(false);
        co_return;
    }
    const QString arg = installerVersion.isEmpty() ? QString() : QStringLiteral("--full-installer-version ") + installerVersion;
    appendLog(QStringLiteral("💻 softwareupdate コマンドを実行中…"));
    const QString command = QStringLiteral("softwareupdate --fetch-full-installer ") + arg + QStringLiteral(" 2>&1");
    const bool ok = co_await runStreamingProcess(command);
    if (ok) {
        appendLog(QStringLiteral("✅ ダウンロード完了！ /Applications を確認してください。"));
        AppState::shared().showMessage(version.name + QStringLiteral(" のダウンロード完了！"));
    } else {
        appendLog(QStringLiteral("❌ ダウンロード失敗"));
        appendLog(QStringLiteral("💡 システム設定または上の『確認リンク』ボタンから入手してください。"));
        AppState::shared().showMessage(QStringLiteral("ダウンロードに失敗しました"), true);
    }
    setDownloading(false);
}

QCoro::Task<bool> InstallerModel::downloadPackage(MacOSVersion version, QString pkgPath)
{
    const QString url = *version.pkgURL;
    const unsigned user = platform::Kernel::shared().userId();
    const auto fail = [this](const QString& line) {
        appendLog(line);
        AppState::shared().showMessage(QStringLiteral("ダウンロードに失敗しました"), true);
        return false;
    };
    appendLog(QStringLiteral("🌐 Apple公式CDNより InstallAssistant.pkg をダウンロード中…"));
    appendLog(QStringLiteral("🔗 リンク: ") + url);

    // curl resumes whatever lies at the path: it must be the user's own private file.
    platform::FileFacts existing = platform::FileFacts::of(pkgPath);
    if (existing.exists && !existing.isPrivateFileOf(user)) {
        if (existing.isRegularFile && !existing.isSymbolicLink && existing.owner == user) {
            appendLog(QStringLiteral("⚠️ 他のユーザーが書き込めるファイルのため削除して取得し直します: ") + pkgPath);
            co_await removePackage(pkgPath);
            existing = platform::FileFacts::of(pkgPath);
        }
        if (existing.exists)
            co_return fail(QStringLiteral("❌ ") + pkgPath
                           + QStringLiteral(" が自分の通常ファイルではない（リンク・他のユーザーの所有・書き込み可能）ため中止しました。"));
    }

    const qint64 expected = catalogSize(url);
    if (expected > 0) {
        const qint64 needed = expected - (existing.exists ? std::min(existing.size, expected) : 0);
        const QString folder = platform::SystemLocations::shared().systemTemporaryDirectory;
        const std::optional<qint64> available = platform::VolumeSpace::shared().availableBytes(folder);
        if (available && needed > *available)
            co_return fail(QStringLiteral("❌ 空き容量が足りません（必要: ") + humanReadable(needed) + QStringLiteral(" / 空き: ")
                           + humanReadable(*available) + QStringLiteral("、") + folder + QStringLiteral("）"));
    }

    downloadFraction_.reset();
    downloadProgressText_.clear();
    downloadTotal_ = expected;
    downloadStartedAt_ = QDateTime::currentSecsSinceEpoch();
    emit progressChanged();
    const QString command = QStringLiteral("curl -L -C - --retry 3 --retry-delay 2 -# -o ") + Quote::singleQuoted(pkgPath)
                          + QStringLiteral(" ") + Quote::singleQuoted(url) + QStringLiteral(" 2>&1");
    const bool ok = co_await runStreamingProcess(command);
    if (!ok) {
        appendLog(QStringLiteral("❌ パッケージのダウンロードに失敗しました。"));
        appendLog(QStringLiteral("💡 ブラウザ直接ダウンロードボタンもお試しください。"));
        AppState::shared().showMessage(QStringLiteral("ダウンロードに失敗しました"), true);
        co_return false;
    }

    const platform::FileFacts downloaded = platform::FileFacts::of(pkgPath);
    if (!downloaded.isPrivateFileOf(user))
        co_return fail(QStringLiteral("❌ ダウンロードしたファイルを確認できないため展開しません: ") + pkgPath);
    if (expected > 0 && downloaded.size != expected) {
        // A file the server called complete but of another size is not the catalog's package;
        // resuming it would only extend the damage.
        co_await removePackage(pkgPath);
        co_return fail(QStringLiteral("❌ ファイルサイズがカタログと一致しません（") + QString::number(downloaded.size)
                       + QStringLiteral(" / ") + QString::number(expected) + QStringLiteral(" バイト）。展開せずに削除しました。"));
    }
    co_return true;
}

QCoro::Task<> InstallerModel::expandPackage(MacOSVersion version, QString pkgPath)
{
    appendLog(QStringLiteral("📦 ダウンロード完了！ /Applications にインストーラーを展開中…"));
    const auto fail = [this](const QString& description) {
        appendLog(QStringLiteral("❌ 展開エラー: ") + description);
        AppState::shared().showMessage(QStringLiteral("インストーラー展開に失敗しました"), true);
    };
    QString why;
    const std::optional<RootPath> cleared = SafetyBoundary().forRoot(pkgPath, Allowance(QStringList{pkgPath}), Operation::read, &why);
    if (!cleared) {
        fail(why + QStringLiteral(": ") + pkgPath);
        co_return;
    }
    const QString command = SafetyBoundary::guarded({*cleared}, expansionCommand(cleared->path(), platform::Kernel::shared().userId()));
    std::weak_ptr<InstallerModel> weak = weak_from_this();
    std::function<void(const QString&)> onLine = [weak](const QString& line) {
        if (auto model = weak.lock())
            model->appendLog(line);
    };
    int status = 0;
    try {
        QCoro::Task<int> run = AuthorizationManager::shared().runPrivilegedStreaming(command, onLine);
        status = co_await std::move(run);
    } catch (const std::exception& error) {
        fail(LocalizedError::describe(error));
        co_return;
    }
    if (status != 0) {
        fail(QStringLiteral("installer が終了ステータス ") + QString::number(status)
             + QStringLiteral(" で終了しました（パッケージは残しています: ") + pkgPath + QStringLiteral("）"));
        co_return;
    }
    co_await removePackage(pkgPath);
    appendLog(QStringLiteral("✅ ") + version.name + QStringLiteral(" のインストーラーが /Applications に正常に配備されました！🎉"));
    AppState::shared().showMessage(version.name + QStringLiteral(" の取得完了！"));
}

void InstallerModel::setDisks(QList<DiskInfo> disks)
{
    availableDisks_ = std::move(disks);
    // The selection follows the same disk (identifier and size) or is cleared: a record of a
    // disk that was unplugged, or replaced under the same identifier, is never kept.
    std::optional<DiskInfo> rebound;
    if (selectedDisk_)
        for (const DiskInfo& disk : availableDisks_)
            if (disk.sameDisk(*selectedDisk_))
                rebound = disk;
    selectedDisk_ = rebound;
    emit disksChanged();
}

QCoro::Task<> InstallerModel::refreshDisks()
{
    std::weak_ptr<InstallerModel> weak = weak_from_this();
    const QString command = QStringLiteral("diskutil list -plist external 2>/dev/null");
    const ShellResult result = co_await Shell::runAsync(command);
    if (auto model = weak.lock())
        model->setDisks(Installers::parseDiskList(result.output));
}

QCoro::Task<> InstallerModel::createUSB()
{
    auto keep = shared_from_this();
    if (!selectedDisk_)
        co_return;
    const DiskInfo chosen = *selectedDisk_;
    const auto fail = [this](const QString& line) {
        if (!line.isEmpty())
            appendLog(line);
        AppState::shared().showMessage(QStringLiteral("USB作成に失敗しました"), true);
    };
    if (!Installers::isWholeDiskIdentifier(chosen.name) || disksInUse().contains(chosen.name)) {
        fail(QStringLiteral("❌ /dev/") + chosen.name + QStringLiteral(" には作成を開始できません（作成中、または不正な識別子）"));
        co_return;
    }
    disksInUse().insert(chosen.name);
    isCreatingUSB_ = true;
    emit changed();
    const auto finish = [this, name = chosen.name] {
        disksInUse().remove(name);
        isCreatingUSB_ = false;
        emit changed();
    };

    // The list may be minutes old: the disk must still be there, unchanged, before erasing.
    co_await refreshDisks();
    if (!selectedDisk_ || !selectedDisk_->sameDisk(chosen)) {
        fail(QStringLiteral("❌ 選択したディスク /dev/") + chosen.name + QStringLiteral(" が見つからないか変更されたため中止しました。"));
        finish();
        co_return;
    }

    const QString find = QStringLiteral("find /Applications -maxdepth 1 -name 'Install macOS*.app' -type d 2>/dev/null | head -1");
    const ShellResult found = co_await Shell::runAsync(find);
    const QString appPath = found.output.trimmed();
    if (appPath.isEmpty()) {
        AppState::shared().showMessage(QStringLiteral("インストーラーが見つかりません。先にダウンロードしてください。"), true);
        finish();
        co_return;
    }
    QString why;
    const QString tool = appPath + QStringLiteral("/Contents/Resources/createinstallmedia");
    const std::optional<RootPath> cleared = SafetyBoundary().forRoot(tool, Allowance(QStringList{tool}), Operation::read, &why);
    if (!cleared) {
        fail(QStringLiteral("❌ ") + why + QStringLiteral(": ") + tool);
        finish();
        co_return;
    }
    const QString command = SafetyBoundary::guarded({*cleared}, Quote::doubleQuoted(cleared->path()) + QStringLiteral(" --volume /dev/")
                                                                  + chosen.name + QStringLiteral(" --nointeraction 2>&1"));
    appendLog(QStringLiteral("💾 USBメディア作成中: /dev/") + chosen.name);
    std::weak_ptr<InstallerModel> weak = weak_from_this();
    std::function<void(const QString&)> onLine = [weak](const QString& line) {
        if (auto model = weak.lock())
            model->appendLog(line);
    };
    try {
        QCoro::Task<int> run = AuthorizationManager::shared().runPrivilegedStreaming(command, onLine);
        const int status = co_await std::move(run);
        if (status == 0) {
            appendLog(QStringLiteral("✅ USB作成完了！"));
            AppState::shared().showMessage(QStringLiteral("USBメディアの作成が完了しました🎉"));
        } else {
            fail(QStringLiteral("❌ createinstallmedia が終了ステータス ") + QString::number(status) + QStringLiteral(" で終了しました"));
        }
    } catch (const std::exception& error) {
        fail(QStringLiteral("❌ ") + LocalizedError::describe(error));
    }
    finish();
}
