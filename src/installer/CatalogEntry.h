#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One full-installer product of the software-update catalog. Its identity is productID.
struct CatalogEntry {
    QString productID;
    QString macOSName;
    QString version;
    QString buildNumber;
    QString pkgURL;
    qint64 pkgSizeBytes = 0;
    std::optional<QDateTime> postDate;
    bool isNewlyDiscovered = false;

    const QString& id() const { return productID; }
    bool operator==(const CatalogEntry&) const = default;
};

// One product while the catalog is scanned; never stored.
struct RawProductInfo {
    QString pid;
    QString pkgURL;
    qint64 pkgSize = 0;
    std::optional<QDateTime> postDate;
    std::optional<QString> distURL;

    bool operator==(const RawProductInfo&) const = default;
};

// What "cached_catalog.json" holds.
struct CatalogCache {
    QList<CatalogEntry> entries;
    QDateTime lastRefresh;

    // Pretty-printed JSON with ISO 8601 dates in UTC without fractional seconds; an entry
    // without a post date has no "postDate" key.
    QByteArray toJson() const;
    // None when the text is not such a document (a missing key or a key of the wrong type
    // included), so a damaged cache is ignored as a whole.
    static std::optional<CatalogCache> fromJson(const QByteArray& json);
};
