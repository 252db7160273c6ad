#include "installer/CatalogEntry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString isoText(const QDateTime& date)
{
    return date.toUTC().toString(Qt::ISODate);
}

std::optional<QDateTime> isoDate(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

std::optional<CatalogEntry> entryFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    for (const char* key : {"productID", "macOSName", "version", "buildNumber", "pkgURL"})
        if (!object.value(QLatin1String(key)).isString())
            return std::nullopt;
    const QJsonValue size = object.value(QLatin1String("pkgSizeBytes"));
    const QJsonValue isNew = object.value(QLatin1String("isNewlyDiscovered"));
    // A size that is not a whole number would silently change meaning when rounded.
    if (!size.isDouble() || size.toDouble() != double(size.toInteger()) || !isNew.isBool())
        return std::nullopt;
    CatalogEntry entry;
    entry.productID = object.value(QLatin1String("productID")).toString();
    entry.macOSName = object.value(QLatin1String("macOSName")).toString();
    entry.version = object.value(QLatin1String("version")).toString();
    entry.buildNumber = object.value(QLatin1String("buildNumber")).toString();
    entry.pkgURL = object.value(QLatin1String("pkgURL")).toString();
    entry.pkgSizeBytes = size.toInteger();
    entry.isNewlyDiscovered = isNew.toBool();
    if (object.contains(QLatin1String("postDate"))) {
        const std::optional<QDateTime> posted = isoDate(object.value(QLatin1String("postDate")));
        if (!posted)
            return std::nullopt;
        entry.postDate = posted;
    }
    return entry;
}

} // namespace

QByteArray CatalogCache::toJson() const
{
    QJsonArray list;
    for (const CatalogEntry& entry : entries) {
        QJsonObject object;
        object.insert(QLatin1String("productID"), entry.productID);
        object.insert(QLatin1String("macOSName"), entry.macOSName);
        object.insert(QLatin1String("version"), entry.version);
        object.insert(QLatin1String("buildNumber"), entry.buildNumber);
        object.insert(QLatin1String("pkgURL"), entry.pkgURL);
        object.insert(QLatin1String("pkgSizeBytes"), entry.pkgSizeBytes);
        if (entry.postDate)
            object.insert(QLatin1String("postDate"), isoText(*entry.postDate));
        object.insert(QLatin1String("isNewlyDiscovered"), entry.isNewlyDiscovered);
        list.append(object);
    }
    QJsonObject root;
    root.insert(QLatin1String("entries"), list);
    root.insert(QLatin1String("lastRefresh"), isoText(lastRefresh));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<CatalogCache> CatalogCache::fromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonValue list = root.value(QLatin1String("entries"));
    const std::optional<QDateTime> lastRefresh = isoDate(root.value(QLatin1String("lastRefresh")));
    if (!list.isArray() || !lastRefresh)
        return std::nullopt;
    CatalogCache cache;
    cache.lastRefresh = *lastRefresh;
    for (const QJsonValue& value : list.toArray()) {
        std::optional<CatalogEntry> entry = entryFromJson(value);
        if (!entry)
            return std::nullopt;
        cache.entries.append(std::move(*entry));
    }
    return cache;
}
