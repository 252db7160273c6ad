#include "installer/CatalogManager.h"

#include "exec/OutputParsing.h"
#include "exec/Quote.h"
#include "exec/SafetyBoundary.h"
#include "exec/Shell.h"
#include "platform/FileManager.h"
#include "platform/FileReader.h"

#include <QFuture>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QUrl>
#include <qcoro/qcorofuture.h>

#include <algorithm>

namespace {

const QString unknownVersion = QStringLiteral("不明");

// The value of group 1 of the first match, trimmed; none when absent or blank.
std::optional<QString> firstCapture(const QString& text, const QString& pattern)
{
    const QRegularExpression expression(pattern, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = expression.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString value = match.captured(1).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

QList<qint64> numericPieces(const QString& version)
{
    QList<qint64> numbers;
    for (const QString& piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        if (const std::optional<qint64> number = Shell::parseInteger(piece))
            numbers.append(*number);
    return numbers;
}

// The catalog file's products, or an empty list for a file that is not a catalog.
QList<RawProductInfo> readCatalogFile(const QString& path)
{
    const std::optional<platform::PropertyList> catalog = platform::PropertyList::read(path, CatalogManager::catalogSizeLimit);
    return catalog ? CatalogManager::productsOf(*catalog) : QList<RawProductInfo>();
}

} // namespace

CatalogManager::CatalogManager(QString catalogURL, QString cacheDir, QObject* parent)
    : QObject(parent), catalogURL_(std::move(catalogURL)), cacheDir_(std::move(cacheDir))
{
    platform::FileManager::shared().createDirectory(cacheDir_);
    loadCache();
}

CatalogManager& CatalogManager::systemDefault()
{
    static CatalogManager* manager = new CatalogManager(defaultCatalogURL(), defaultCacheDir());
    return *manager;
}

QString CatalogManager::defaultCatalogURL()
{
    return QStringLiteral("https://swscan.apple.com/content/catalogs/others/"
                          "index-15seed-15-14-13-12-10.16-10.15-10.14-10.13-10.12-10.11-10.10-10.9-mountainlion-lion-"
                          "snowleopard-leopard.merged-1.sucatalog.gz");
}

QString CatalogManager::defaultCacheDir()
{
    return platform::FileManager::shared().homeDirectory()
         + QStringLiteral("/Library/Application Support/Tessarin/CatalogCache");
}

QString CatalogManager::cacheFile() const
{
    return cacheDir_ + QStringLiteral("/cached_catalog.json");
}

bool CatalogManager::hasNewlyDiscovered() const
{
    return std::any_of(entries_.begin(), entries_.end(), [](const CatalogEntry& entry) { return entry.isNewlyDiscovered; });
}

void CatalogManager::setStatus(const QString& message)
{
    statusMessage_ = message;
    emit changed();
}

void CatalogManager::setRefreshing(bool refreshing)
{
    isRefreshing_ = refreshing;
    emit changed();
}

bool CatalogManager::isStale(const std::optional<QDateTime>& lastRefresh, const QDateTime& now)
{
    return !lastRefresh || lastRefresh->secsTo(now) > staleAfterSeconds;
}

bool CatalogManager::isFetchableURL(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    return parsed.isValid() && !parsed.host().isEmpty() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

void CatalogManager::cleanup(const QString& path)
{
    SafetyBoundary().removeItem(path, Allowance(QStringList{path}));
}

QCoro::Task<> CatalogManager::refresh()
{
    if (isRefreshing_)
        co_return;
    isRefreshing_ = true;
    setStatus(QStringLiteral("カタログをダウンロード中…"));

    const QString plistPath = cacheDir_ + QStringLiteral("/sucatalog.plist");
    bool downloaded = false;
    if (isFetchableURL(catalogURL_)) {
        const QString download = QStringLiteral("curl -sL ") + Quote::singleQuoted(catalogURL_) + QStringLiteral(" | gunzip > ")
                               + Quote::singleQuoted(plistPath);
        const ShellResult result = co_await Shell::runAsync(download);
        downloaded = result.exitCode == 0;
    }
    if (!downloaded) {
        // The shell makes the file before curl or gunzip fails; a half-written catalog stays behind otherwise.
        QFuture<void> removal = Shell::inPool(Shell::commandPool(), [plistPath] { cleanup(plistPath); });
        co_await removal;
        setStatus(QStringLiteral("カタログのダウンロードに失敗しました"));
        setRefreshing(false);
        co_return;
    }

    setStatus(QStringLiteral("カタログを解析中…"));
    const QList<RawProductInfo> raws = co_await extractEntries(plistPath);
    QFuture<void> removal = Shell::inPool(Shell::commandPool(), [plistPath] { cleanup(plistPath); });
    co_await removal;
    if (raws.isEmpty()) {
        setStatus(QStringLiteral("InstallAssistant.pkg が見つかりませんでした"));
        setRefreshing(false);
        co_return;
    }

    setStatus(QStringLiteral("バージョン情報を取得中…"));
    QList<CatalogEntry> list = co_await resolveVersionInfo(raws);

    QSet<QString> known;
    for (const CatalogEntry& entry : entries_)
        known.insert(entry.productID);
    for (CatalogEntry& entry : list)
        entry.isNewlyDiscovered = !known.contains(entry.productID);

    std::stable_sort(list.begin(), list.end(),
                     [](const CatalogEntry& a, const CatalogEntry& b) { return compareVersions(a.version, b.version); });

    entries_ = list;
    lastRefreshDate_ = QDateTime::currentDateTimeUtc();
    setStatus(QString::number(entries_.size()) + QStringLiteral(" 件のインストーラーを検出"));
    saveCache();
    setRefreshing(false);
}

QCoro::Task<QList<RawProductInfo>> CatalogManager::extractEntries(QString plistPath)
{
    const QString xmlPath = cacheDir_ + QStringLiteral("/sucatalog.xml");
    const QString conversion = QStringLiteral("plutil -convert xml1 -o ") + Quote::singleQuoted(xmlPath) + QStringLiteral(" ")
                             + Quote::singleQuoted(plistPath) + QStringLiteral(" 2>/dev/null");
    co_await Shell::runAsync(conversion);

    // Parsing megabytes of XML belongs off the main thread.
    QFuture<QList<RawProductInfo>> parse = Shell::inPool(Shell::commandPool(), [xmlPath, plistPath] {
        const bool converted = platform::FileManager::shared().exists(xmlPath);
        QList<RawProductInfo> raws = readCatalogFile(converted ? xmlPath : plistPath);
        cleanup(xmlPath);
        return raws;
    });
    co_return co_await parse;
}

QList<RawProductInfo> CatalogManager::productsOf(const platform::PropertyList& catalog)
{
    QList<RawProductInfo> raws;
    const platform::PropertyNode products = catalog.root()["Products"];
    products.forEachEntry([&raws](const QString& key, const platform::PropertyNode& product) {
        const platform::PropertyNode packages = product["Packages"];
        if (!packages.isArray())
            return;
        const qsizetype count = packages.count();
        for (qsizetype i = 0; i < count; ++i)
            if (!packages.at(i).isDictionary())
                return;

        RawProductInfo raw;
        raw.pid = key;
        raw.postDate = product["PostDate"].date();
        bool found = false;
        for (qsizetype i = 0; i < count && !found; ++i) {
            const platform::PropertyNode package = packages.at(i);
            const std::optional<QString> url = package["URL"].string();
            if (!url || !url->endsWith(QLatin1String("InstallAssistant.pkg")) || !isFetchableURL(*url))
                continue;
            found = true;
            raw.pkgURL = *url;
            raw.pkgSize = package["Size"].integer().value_or(0);
        }
        if (!found)
            return;

        const platform::PropertyNode distributions = product["Distributions"];
        if (distributions.isDictionary()) {
            std::optional<QString> url = distributions["English"].string();
            if (!url)
                url = distributions["en"].string();
            if (!url) {
                bool first = true;
                distributions.forEachEntry([&](const QString&, const platform::PropertyNode& value) {
                    if (first)
                        url = value.string();
                    first = false;
                });
            }
            raw.distURL = url;
        }
        raws.append(std::move(raw));
    });
    return raws;
}

QCoro::Task<QList<CatalogEntry>> CatalogManager::resolveVersionInfo(QList<RawProductInfo> raws)
{
    QList<CatalogEntry> list;
    const qsizetype total = raws.size();
    for (qsizetype i = 0; i < total; ++i) {
        const RawProductInfo& raw = raws.at(i);
        setStatus(QStringLiteral("バージョン情報を取得中… (") + QString::number(i + 1) + QStringLiteral("/")
                  + QString::number(total) + QStringLiteral(")"));
        DistInfo info{QStringLiteral("macOS"), unknownVersion, QString()};
        if (raw.distURL && !raw.distURL->isEmpty()) {
            const QString url = *raw.distURL;
            const std::optional<DistInfo> fetched = co_await fetchDistInfo(url);
            if (fetched)
                info = *fetched;
        }
        if (info.name == QLatin1String("macOS") && info.version != unknownVersion)
            info.name = resolveNameFromVer(info.version);
        CatalogEntry entry;
        entry.productID = raw.pid;
        entry.macOSName = info.name;
        entry.version = info.version;
        entry.buildNumber = info.build;
        entry.pkgURL = raw.pkgURL;
        entry.pkgSizeBytes = raw.pkgSize;
        entry.postDate = raw.postDate;
        list.append(entry);
    }
    co_return list;
}

QCoro::Task<std::optional<DistInfo>> CatalogManager::fetchDistInfo(QString url)
{
    // A distribution URL that is not http(s) counts as a failed fetch: "file:" or a value
    // beginning with "-" must never reach curl.
    if (!isFetchableURL(url))
        co_return std::nullopt;
    const QString fetch = QStringLiteral("curl -sL --max-time 8 ") + Quote::singleQuoted(url);
    const ShellResult result = co_await Shell::runAsync(fetch);
    if (result.exitCode != 0 || result.output.isEmpty())
        co_return std::nullopt;
    co_return parseDistribution(result.output);
}

std::optional<DistInfo> CatalogManager::parseDistribution(const QString& text)
{
    std::optional<QString> version = extractXMLValue(text, QStringLiteral("VERSION"));
    if (!version)
        version = extractAttribute(text, QStringLiteral("version"));
    std::optional<QString> build = extractXMLValue(text, QStringLiteral("BUILD"));
    if (!build)
        build = extractAttribute(text, QStringLiteral("build"));
    if (!version || version->isEmpty())
        return std::nullopt;
    QString name = extractTitle(text).value_or(resolveNameFromVer(*version));
    name.remove(QStringLiteral("Install "));
    if (!name.toLower().contains(QLatin1String("macos")))
        name = QStringLiteral("macOS ") + name;
    return DistInfo{name, *version, build.value_or(QString())};
}

std::optional<QString> CatalogManager::extractXMLValue(const QString& text, const QString& key)
{
    return firstCapture(text, QStringLiteral("<key>") + key + QStringLiteral("</key>\\s*<string>([^<]+)</string>"));
}

std::optional<QString> CatalogManager::extractAttribute(const QString& text, const QString& name)
{
    return firstCapture(text, name + QStringLiteral("=\"([^\"]+)\""));
}

std::optional<QString> CatalogManager::extractTitle(const QString& text)
{
    const QString open = QStringLiteral("<title>");
    const qsizetype start = text.indexOf(open);
    if (start < 0)
        return std::nullopt;
    const qsizetype from = start + open.size();
    const qsizetype end = text.indexOf(QStringLiteral("</title>"), from);
    if (end < 0)
        return std::nullopt;
    const QString title = text.mid(from, end - from).trimmed();
    if (title.isEmpty())
        return std::nullopt;
    return title;
}

QString CatalogManager::resolveNameFromVer(const QString& version)
{
    const QStringList pieces = version.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QString major = pieces.isEmpty() ? QString() : pieces.first();
    static const QList<std::pair<QString, QString>> names{
        {QStringLiteral("27"), QStringLiteral("macOS Golden Gate")}, {QStringLiteral("26"), QStringLiteral("macOS Tahoe")},
        {QStringLiteral("15"), QStringLiteral("macOS Sequoia")},     {QStringLiteral("14"), QStringLiteral("macOS Sonoma")},
        {QStringLiteral("13"), QStringLiteral("macOS Ventura")},     {QStringLiteral("12"), QStringLiteral("macOS Monterey")},
        {QStringLiteral("11"), QStringLiteral("macOS Big Sur")},
    };
    for (const auto& [number, name] : names)
        if (major == number)
            return name;
    return QStringLiteral("macOS ") + version;
}

bool CatalogManager::compareVersions(const QString& a, const QString& b)
{
    const QList<qint64> left = numericPieces(a);
    const QList<qint64> right = numericPieces(b);
    const qsizetype length = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < length; ++i) {
        const qint64 x = i < left.size() ? left.at(i) : 0;
        const qint64 y = i < right.size() ? right.at(i) : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

void CatalogManager::saveCache()
{
    CatalogCache cache{entries_, lastRefreshDate_.value_or(QDateTime::currentDateTimeUtc())};
    // Written beside the old file and renamed over it, so a crash mid-write keeps the old cache.
    QSaveFile file(cacheFile());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(cache.toJson());
    file.commit();
}

void CatalogManager::loadCache()
{
    const std::optional<QByteArray> bytes = platform::readSmallFile(cacheFile(), 64 * 1024 * 1024);
    if (!bytes)
        return;
    const std::optional<CatalogCache> cache = CatalogCache::fromJson(*bytes);
    if (!cache)
        return;
    entries_ = cache->entries;
    lastRefreshDate_ = cache->lastRefresh;
    statusMessage_ = QString::number(entries_.size()) + QStringLiteral(" 件（キャッシュ）");
    emit changed();
}
