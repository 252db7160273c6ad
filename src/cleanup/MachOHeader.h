#pragma once

// Reading CPU types out of the first bytes of an executable. Free of Qt and of any I/O so
// that it can be driven directly by a fuzzer; ArchScanner wraps it for the rest of the code.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace MachO {

using Bytes = std::span<const std::uint8_t>;
// CPU types are the format's unsigned 32-bit values, widened so they compare like integers.
using CPUTypes = std::vector<std::int64_t>;

inline constexpr std::uint32_t thinMagic32BE = 0xFEEDFACE;
inline constexpr std::uint32_t thinMagic64BE = 0xFEEDFACF;
inline constexpr std::uint32_t thinMagic32LE = 0xCEFAEDFE;   // bytes CE FA ED FE
inline constexpr std::uint32_t thinMagic64LE = 0xCFFAEDFE;   // bytes CF FA ED FE
inline constexpr std::uint32_t fatMagic = 0xCAFEBABE;
inline constexpr std::uint32_t fatMagic64 = 0xCAFEBABF;

// A fat header claiming more records than this is something else; Java class files share
// the 0xCAFEBABE magic and carry their version (45 and up) where the record count would be.
inline constexpr std::uint32_t maxFatRecords = 31;
inline constexpr std::size_t fatRecordSize = 20;
inline constexpr std::size_t fatRecordSize64 = 32;

// Big- and little-endian 32-bit value of bytes offset..offset+3; 0 when they are not all there.
std::uint32_t readBE32(Bytes bytes, std::size_t offset) noexcept;
std::uint32_t readLE32(Bytes bytes, std::size_t offset) noexcept;

// The CPU types of a fat header's records, in record order. None for a record count of 0
// or above maxFatRecords; records cut off by the end of the bytes are left out, so the
// list may be shorter than the count or empty.
std::optional<CPUTypes> fatCPUTypes(Bytes bytes, bool is64);

// The CPU types a thin or fat Mach-O header names; none for fewer than 8 bytes or an
// unknown magic (scripts, Java class files, anything else).
std::optional<CPUTypes> cpuTypes(Bytes bytes);

} // namespace MachO
