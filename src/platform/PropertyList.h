#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

// One value inside a parsed property list. It keeps the whole tree alive, so it may outlive
// the PropertyList it came from. A node that is not there (a missing key, an index past the
// end) is valid to ask and answers none everywhere.
class PropertyNode {
public:
    PropertyNode() = default;

    bool isDictionary() const;
    bool isArray() const;

    // The value under `key` of a dictionary; an absent node otherwise.
    PropertyNode operator[](const char* key) const;
    // The elements of an array, in order; empty for anything else.
    qsizetype count() const;
    PropertyNode at(qsizetype index) const;
    // The entries of a dictionary in the order the file gives them.
    void forEachEntry(const std::function<void(const QString& key, const PropertyNode& value)>& visit) const;

    std::optional<QString> string() const;
    std::optional<qint64> integer() const;     // integers only (not reals or texts)
    std::optional<QDateTime> date() const;     // in UTC

private:
    friend class PropertyList;
    PropertyNode(std::shared_ptr<void> root, void* node) : root_(std::move(root)), node_(node) {}
    std::shared_ptr<void> root_;
    void* node_ = nullptr;
};

// The top-level dictionary of a property list (XML or binary, parsed by libplist), asked for
// its text values. Safe on any thread; copies share the parsed tree.
class PropertyList {
public:
    // A real Info.plist is a few kilobytes; larger data is refused unparsed (libplist also
    // takes 32-bit lengths).
    static constexpr qint64 sizeLimit = 8 * 1024 * 1024;

    // None when the data is empty, larger than sizeLimit, not a property list, or its top
    // level is not a dictionary.
    static std::optional<PropertyList> fromData(const QByteArray& data);
    // The same with another size limit, for documents that are large by nature (catalogs).
    static std::optional<PropertyList> fromData(const QByteArray& data, qint64 limit);
    // The same for a file read with readSmallFile (links followed, regular files only, so a
    // FIFO never blocks); none when it cannot be read.
    static std::optional<PropertyList> read(const QString& path);
    static std::optional<PropertyList> read(const QString& path, qint64 limit);

    // The text under `key`; none when the key is absent or its value is not text.
    std::optional<QString> string(const char* key) const;
    // The top-level dictionary as a node, for walking nested values.
    PropertyNode root() const { return PropertyNode(root_, root_.get()); }

private:
    explicit PropertyList(void* root);
    std::shared_ptr<void> root_;
};

} // namespace platform
