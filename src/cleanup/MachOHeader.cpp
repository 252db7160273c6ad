#include "cleanup/MachOHeader.h"

namespace MachO {

std::uint32_t readBE32(Bytes bytes, std::size_t offset) noexcept
{
    // Written so that a huge offset cannot wrap around the bounds check.
    if (offset > bytes.size() || bytes.size() - offset < 4)
        return 0;
    return (std::uint32_t(bytes[offset]) << 24) | (std::uint32_t(bytes[offset + 1]) << 16)
        | (std::uint32_t(bytes[offset + 2]) << 8) | std::uint32_t(bytes[offset + 3]);
}

std::uint32_t readLE32(Bytes bytes, std::size_t offset) noexcept
{
    if (offset > bytes.size() || bytes.size() - offset < 4)
        return 0;
    return std::uint32_t(bytes[offset]) | (std::uint32_t(bytes[offset + 1]) << 8)
        | (std::uint32_t(bytes[offset + 2]) << 16) | (std::uint32_t(bytes[offset + 3]) << 24);
}

std::optional<CPUTypes> fatCPUTypes(Bytes bytes, bool is64)
{
    const std::uint32_t count = readBE32(bytes, 4);
    if (count == 0 || count > maxFatRecords)
        return std::nullopt;
    const std::size_t recordSize = is64 ? fatRecordSize64 : fatRecordSize;
    CPUTypes types;
    types.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t offset = 8 + i * recordSize;
        if (bytes.size() < offset + 4)
            break;
        types.push_back(std::int64_t(readBE32(bytes, offset)));
    }
    return types;
}

std::optional<CPUTypes> cpuTypes(Bytes bytes)
{
    if (bytes.size() < 8)
        return std::nullopt;
    switch (readBE32(bytes, 0)) {
    case thinMagic32BE:
    case thinMagic64BE:
        return CPUTypes{std::int64_t(readBE32(bytes, 4))};
    case fatMagic:
        return fatCPUTypes(bytes, false);
    case fatMagic64:
        return fatCPUTypes(bytes, true);
    case thinMagic32LE:
    case thinMagic64LE:
        return CPUTypes{std::int64_t(readLE32(bytes, 4))};
    default:
        return std::nullopt;
    }
}

} // namespace MachO
