#include "platform/PropertyList.h"

#include "platform/FileReader.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>

namespace platform {

PropertyList::PropertyList(void* root) : root_(root, [](void* node) { plist_free(plist_t(node)); }) {}

std::optional<PropertyList> PropertyList::fromData(const QByteArray& data)
{
    return fromData(data, sizeLimit);
}

std::optional<PropertyList> PropertyList::fromData(const QByteArray& data, qint64 limit)
{
    // libplist takes 32-bit lengths.
    if (data.isEmpty() || data.size() > limit || data.size() > qint64(UINT32_MAX))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return std::nullopt;
    PropertyList list(root);
    if (plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    return list;
}

std::optional<PropertyList> PropertyList::read(const QString& path)
{
    return read(path, sizeLimit);
}

std::optional<PropertyList> PropertyList::read(const QString& path, qint64 limit)
{
    const std::optional<QByteArray> bytes = readSmallFile(path, limit);
    return bytes ? fromData(*bytes, limit) : std::nullopt;
}

bool PropertyNode::isDictionary() const
{
    return node_ && plist_get_node_type(plist_t(node_)) == PLIST_DICT;
}

bool PropertyNode::isArray() const
{
    return node_ && plist_get_node_type(plist_t(node_)) == PLIST_ARRAY;
}

PropertyNode PropertyNode::operator[](const char* key) const
{
    if (!isDictionary())
        return {};
    return PropertyNode(root_, plist_dict_get_item(plist_t(node_), key));
}

qsizetype PropertyNode::count() const
{
    return isArray() ? qsizetype(plist_array_get_size(plist_t(node_))) : 0;
}

PropertyNode PropertyNode::at(qsizetype index) const
{
    if (index < 0 || index >= count())
        return {};
    return PropertyNode(root_, plist_array_get_item(plist_t(node_), uint32_t(index)));
}

void PropertyNode::forEachEntry(const std::function<void(const QString&, const PropertyNode&)>& visit) const
{
    if (!isDictionary())
        return;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(plist_t(node_), &iter);
    if (!iter)
        return;
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(plist_t(node_), iter, &key, &value);
        if (!value) {
            free(key);
            break;
        }
        const QString name = QString::fromUtf8(key);
        free(key);
        visit(name, PropertyNode(root_, value));
    }
    free(iter);
}

std::optional<QString> PropertyNode::string() const
{
    if (!node_ || plist_get_node_type(plist_t(node_)) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(plist_t(node_), &length);
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

std::optional<qint64> PropertyNode::integer() const
{
    if (!node_ || plist_get_node_type(plist_t(node_)) != PLIST_UINT)
        return std::nullopt;
    uint64_t value = 0;
    plist_get_uint_val(plist_t(node_), &value);
    // Negative integers are stored in two's complement.
    return qint64(value);
}

std::optional<QDateTime> PropertyNode::date() const
{
    if (!node_ || plist_get_node_type(plist_t(node_)) != PLIST_DATE)
        return std::nullopt;
    int32_t seconds = 0;
    int32_t microseconds = 0;
    plist_get_date_val(plist_t(node_), &seconds, &microseconds);
    // Property-list dates count from 2001-01-01 00:00:00 UTC.
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch.addMSecs(qint64(seconds) * 1000 + microseconds / 1000);
}

std::optional<QString> PropertyList::string(const char* key) const
{
    plist_t node = plist_dict_get_item(plist_t(root_.get()), key);
    if (!node || plist_get_node_type(node) != PLIST_STRING)
        return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

} // namespace platform
