#pragma once

#include "installer/CatalogEntry.h"
#include "platform/PropertyList.h"
#include "platform/Service.h"

#include <QObject>
#include <qcoro/qcorotask.h>

#include <optional>
#include <tuple>

// The distribution file's name, version and build of one product.
struct DistInfo {
    QString name;
    QString version;
    QString build;
    bool operator==(const DistInfo&) const = default;
};

// Reads the software-update catalog, keeps its full-installer products and caches them.
// Main thread only; refresh() suspends at each command and resumes on the main thread.
class CatalogManager final : public QObject {
    Q_OBJECT
public:
    // The published catalog; tests pass a catalog served from 127.0.0.1 and a cache folder
    // of their own.
    CatalogManager(QString catalogURL, QString cacheDir, QObject* parent = nullptr);

    static CatalogManager& shared() { return platform::Service<CatalogManager>::get(); }
    static CatalogManager& systemDefault();
    static QString defaultCatalogURL();
    // Application Support/Tessarin/CatalogCache in the user's Library.
    static QString defaultCacheDir();

    // The decompressed catalog is far larger than any settings file.
    static constexpr qint64 catalogSizeLimit = qint64(1) << 30;
    // How old the last refresh may be before the screen refreshes on showing.
    static constexpr qint64 staleAfterSeconds = 86400;

    const QList<CatalogEntry>& entries() const { return entries_; }
    bool isRefreshing() const { return isRefreshing_; }
    const std::optional<QDateTime>& lastRefreshDate() const { return lastRefreshDate_; }
    const QString& statusMessage() const { return statusMessage_; }
    const QString& catalogURL() const { return catalogURL_; }
    const QString& cacheDir() const { return cacheDir_; }
    QString cacheFile() const;
    bool hasNewlyDiscovered() const;

    // One complete refresh; the outcome shows in the fields only. A call while a refresh runs
    // returns at once: two refreshes would write the same files.
    QCoro::Task<> refresh();

    // Whether a refresh is due when the screen is shown at `now`.
    static bool isStale(const std::optional<QDateTime>& lastRefresh, const QDateTime& now);

    // The steps of a refresh, open for tests and the benchmark.
    QCoro::Task<QList<RawProductInfo>> extractEntries(QString plistPath);
    static QList<RawProductInfo> productsOf(const platform::PropertyList& catalog);
    QCoro::Task<QList<CatalogEntry>> resolveVersionInfo(QList<RawProductInfo> raws);
    QCoro::Task<std::optional<DistInfo>> fetchDistInfo(QString url);
    static std::optional<DistInfo> parseDistribution(const QString& text);
    static std::optional<QString> extractXMLValue(const QString& text, const QString& key);
    static std::optional<QString> extractAttribute(const QString& text, const QString& name);
    static std::optional<QString> extractTitle(const QString& text);
    static QString resolveNameFromVer(const QString& version);
    static bool compareVersions(const QString& a, const QString& b);
    // Only these reach a command line: anything else from the catalog is not fetched.
    static bool isFetchableURL(const QString& url);

    void saveCache();
    void loadCache();

signals:
    void changed();

private:
    void setStatus(const QString& message);
    void setRefreshing(bool refreshing);
    // Removes one of the catalog's temporary files in cacheDir, ignoring any error.
    static void cleanup(const QString& path);

    QString catalogURL_;
    QString cacheDir_;
    QList<CatalogEntry> entries_;
    bool isRefreshing_ = false;
    std::optional<QDateTime> lastRefreshDate_;
    QString statusMessage_;
};
