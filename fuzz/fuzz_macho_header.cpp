// Feeds arbitrary bytes to the Mach-O header reader and checks what must hold for any
// input, beyond not crashing: the answer depends only on the bytes it is allowed to look
// at, and it agrees with itself on shorter prefixes of the same bytes.

#include "cleanup/MachOHeader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

bool isPrefix(const MachO::CPUTypes& shorter, const MachO::CPUTypes& longer)
{
    return shorter.size() <= longer.size() && std::equal(shorter.begin(), shorter.end(), longer.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const MachO::Bytes bytes(data, size);
    const std::optional<MachO::CPUTypes> types = MachO::cpuTypes(bytes);

    if (size < 8) {
        if (types)
            fail("fewer than 8 bytes recognised");
        return 0;
    }
    const std::uint32_t magic = MachO::readBE32(bytes, 0);
    const bool thin = magic == MachO::thinMagic32BE || magic == MachO::thinMagic64BE
        || magic == MachO::thinMagic32LE || magic == MachO::thinMagic64LE;
    const bool fat = magic == MachO::fatMagic || magic == MachO::fatMagic64;
    if (!thin && !fat) {
        if (types)
            fail("unknown magic recognised");
        return 0;
    }
    if (thin) {
        if (!types || types->size() != 1)
            fail("thin header without exactly one CPU type");
        const bool little = magic == MachO::thinMagic32LE || magic == MachO::thinMagic64LE;
        const std::uint32_t expected = little ? MachO::readLE32(bytes, 4) : MachO::readBE32(bytes, 4);
        if ((*types)[0] != std::int64_t(expected))
            fail("thin CPU type is not the value at offset 4");
        return 0;
    }

    const std::uint32_t count = MachO::readBE32(bytes, 4);
    if (count == 0 || count > MachO::maxFatRecords) {
        if (types)
            fail("fat header with an impossible record count recognised");
        return 0;
    }
    if (!types)
        fail("fat header with a valid count not recognised");
    if (types->size() > count)
        fail("more CPU types than records");
    const std::size_t recordSize = magic == MachO::fatMagic64 ? MachO::fatRecordSize64 : MachO::fatRecordSize;
    const std::size_t fitting = size < 12 ? 0 : std::min<std::size_t>(count, (size - 12) / recordSize + 1);
    if (types->size() != fitting)
        fail("CPU type count differs from the records that fit");
    for (std::size_t i = 0; i < types->size(); ++i) {
        const std::int64_t value = (*types)[i];
        if (value < 0 || value > std::int64_t(UINT32_MAX))
            fail("CPU type outside the 32-bit range");
        if (value != std::int64_t(MachO::readBE32(bytes, 8 + i * recordSize)))
            fail("CPU type is not the record's first field");
    }
    // Cutting the bytes short can only lose records from the end.
    const std::size_t cut = size / 2 >= 8 ? size / 2 : 8;
    const std::optional<MachO::CPUTypes> shorter = MachO::cpuTypes(bytes.first(cut));
    if (!shorter || !isPrefix(*shorter, *types))
        fail("a prefix of the bytes gave a different answer");
    // Nothing past the last record is looked at.
    const std::size_t needed = 8 + std::size_t(count) * recordSize;
    if (size > needed) {
        const std::optional<MachO::CPUTypes> trimmed = MachO::cpuTypes(bytes.first(needed));
        if (!trimmed || *trimmed != *types)
            fail("bytes after the records changed the answer");
    }
    return 0;
}
