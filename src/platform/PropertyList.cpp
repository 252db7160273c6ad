#include "platform/PropertyList.h"

#include "platform/FileReader.h"

#include <plist/plist.h>

namespace platform {

PropertyList::PropertyList(void* root) : root_(root, [](void* node) { plist_free(plist_t(node)); }) {}

std::optional<PropertyList> PropertyList::fromData(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > sizeLimit)
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
    const std::optional<QByteArray> bytes = readSmallFile(path, sizeLimit);
    return bytes ? fromData(*bytes) : std::nullopt;
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
