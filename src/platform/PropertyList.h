#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace platform {

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
    // The same for a file read with readSmallFile (links followed, regular files only, so a
    // FIFO never blocks); none when it cannot be read.
    static std::optional<PropertyList> read(const QString& path);

    // The text under `key`; none when the key is absent or its value is not text.
    std::optional<QString> string(const char* key) const;

private:
    explicit PropertyList(void* root);
    std::shared_ptr<void> root_;
};

} // namespace platform
