// Damaged files: whatever is done to a real or generated file, opening it and reading every table
// ends in a result or in FormatError / std::system_error / std::out_of_range, quickly, without
// reading outside the file and without allocating far beyond its size.

#include "questionbank/jet/JetFormat.h"
#include "questionbank/jet/JetReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <random>
#include <system_error>

// The largest single allocation since the last reset, to catch a length field taken on trust.
namespace {
std::atomic<std::size_t> g_largestAllocation { 0 };
void noteAllocation(std::size_t size)
{
    std::size_t seen = g_largestAllocation.load(std::memory_order_relaxed);
    while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size, std::memory_order_relaxed)) { }
}
} // namespace

// Every non-aligned form is replaced, so that none mixes with the library's (or ASan's) own.
void* operator new(std::size_t size)
{
    noteAllocation(size);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    noteAllocation(size);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

namespace {

using namespace questionbank;
using questionbank::jet::FormatError;
using questionbank::jet::JetFile;
namespace fmt = questionbank::jet::format;
namespace fs = std::filesystem;
using FileBytes = std::vector<std::uint8_t>;

const fs::path kCorpus = MARVOLEN_CORPUS_DIR;

FileBytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return FileBytes(std::istreambuf_iterator<char>(in), {});
}

std::uint16_t u16(const FileBytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t u32(const FileBytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16))
        | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void put32(FileBytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The layout facts the damage needs to aim at structures.
struct Layout {
    explicit Layout(const FileBytes& file)
        : jet4(u32(file, fmt::header::kVersionOffset) == fmt::header::kVersionJet4)
        , pageSize(jet4 ? fmt::kJet4PageSize : fmt::kJet3PageSize)
        , pages(file.size() / pageSize)
        , data(jet4 ? fmt::kJet4DataPage : fmt::kJet3DataPage)
        , tdef(jet4 ? fmt::kJet4Tdef : fmt::kJet3Tdef)
    {
    }
    bool jet4;
    std::size_t pageSize;
    std::size_t pages;
    fmt::DataPageLayout data;
    fmt::TdefLayout tdef;

    std::uint8_t type(const FileBytes& b, std::size_t page) const { return b[page * pageSize]; }
    bool isLval(const FileBytes& b, std::size_t page) const
    {
        return page < pages && type(b, page) == 1
            && std::equal(fmt::datapage::kLvalMarker.begin(), fmt::datapage::kLvalMarker.end(),
                b.begin() + static_cast<std::ptrdiff_t>(page * pageSize + data.tdefPageOffset));
    }
    std::size_t rowCount(const FileBytes& b, std::size_t page) const
    {
        return std::min<std::size_t>(u16(b, page * pageSize + data.numRowsOffset), 255);
    }
    // File offset of the start of a row, or 0 when the page has no such row.
    std::size_t rowStart(const FileBytes& b, std::size_t page, std::size_t row) const
    {
        if (page >= pages || type(b, page) != 1 || row >= rowCount(b, page))
            return 0;
        return page * pageSize
            + (u16(b, page * pageSize + data.rowOffsetsOffset + 2 * row) & fmt::datapage::kOffsetMask);
    }
    std::size_t rowOffsetField(std::size_t page, std::size_t row) const
    {
        return page * pageSize + data.rowOffsetsOffset + 2 * row;
    }
    // File offsets of the 12-byte variable fields of a live row (Jet 3 rows under 256 bytes only,
    // to do without the jump table).
    std::vector<std::size_t> twelveByteVarFields(const FileBytes& b, std::size_t page, std::size_t row) const
    {
        std::vector<std::size_t> fields;
        const std::uint16_t offsetField = u16(b, rowOffsetField(page, row));
        if (offsetField & (fmt::datapage::kDeletedFlag | fmt::datapage::kOverflowFlag) || isLval(b, page))
            return fields;
        const std::size_t start = rowStart(b, page, row);
        const std::size_t end = row == 0
            ? (page + 1) * pageSize
            : page * pageSize + (u16(b, rowOffsetField(page, row - 1)) & fmt::datapage::kOffsetMask);
        if (start == 0 || end <= start + 4 || (!jet4 && end - start >= 256))
            return fields;
        const std::size_t columns = jet4 ? u16(b, start) : b[start];
        const std::size_t maskStart = end - fmt::nullMaskSize(columns);
        const std::size_t varCount = jet4 ? u16(b, maskStart - 2) : b[maskStart - 1];
        if (maskStart < start + 2 * varCount + 8)
            return fields;
        auto offset
            = [&](std::size_t i) -> std::size_t { return jet4 ? u16(b, maskStart - 4 - 2 * i) : b[maskStart - 2 - i]; };
        for (std::size_t i = 0; i < varCount; ++i) {
            if (offset(i + 1) == offset(i) + 12 && start + offset(i + 1) <= maskStart)
                fields.push_back(start + offset(i));
        }
        return fields;
    }
};

struct Damage {
    std::string name;
    FileBytes bytes;
    bool mustBeNoticed; // aimed at a structure whose damage cannot pass for other valid data
};

std::vector<Damage> damagesOf(const std::string& fileName, const FileBytes& original, std::uint32_t seed)
{
    const Layout layout(original);
    std::mt19937 random(seed);
    std::vector<Damage> out;
    auto addCase = [&](bool noticed, std::string name, const std::function<void(FileBytes&)>& change) {
        FileBytes copy = original;
        change(copy);
        out.push_back({ fileName + ": " + std::move(name), std::move(copy), noticed });
    };
    auto add = [&](std::string name, const std::function<void(FileBytes&)>& change) {
        addCase(false, std::move(name), change);
    };
    auto addNoticed = [&](std::string name, const std::function<void(FileBytes&)>& change) {
        addCase(true, std::move(name), change);
    };
    auto pick = [&](std::size_t bound) { return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random); };

    // Truncation at every page boundary and somewhere inside every page.
    for (std::size_t page = 0; page < layout.pages; ++page) {
        add("truncated at page " + std::to_string(page), [&](FileBytes& b) { b.resize(page * layout.pageSize); });
        const std::size_t inside = page * layout.pageSize + 1 + pick(layout.pageSize - 1);
        addNoticed("truncated at byte " + std::to_string(inside), [&](FileBytes& b) { b.resize(inside); });
    }
    // Every page zeroed, and every page with bytes flipped: in its header and row table, and anywhere.
    for (std::size_t page = 0; page < layout.pages; ++page) {
        const std::string where
            = "page " + std::to_string(page) + " (type " + std::to_string(layout.type(original, page)) + ")";
        // A zeroed page is noticed unless nothing refers to it (free pages, unused index pages).
        add(where + " zeroed", [&](FileBytes& b) {
            std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(page * layout.pageSize), layout.pageSize, 0);
        });
        for (int round = 0; round < 2; ++round) {
            add(where + " header bytes flipped, round " + std::to_string(round), [&](FileBytes& b) {
                for (int i = 0; i < 4; ++i)
                    b[page * layout.pageSize + pick(96)] ^= static_cast<std::uint8_t>(1 + pick(255));
            });
            add(where + " bytes flipped, round " + std::to_string(round), [&](FileBytes& b) {
                for (int i = 0; i < 16; ++i)
                    b[page * layout.pageSize + pick(layout.pageSize)] ^= static_cast<std::uint8_t>(1 + pick(255));
            });
        }
        add(where + " filled with FF", [&](FileBytes& b) {
            std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(page * layout.pageSize + 8), layout.pageSize - 8, 0xFF);
        });
    }
    // Loops and lies in the structures that chain pages. Header fields only mean something on
    // the first page of a table definition, not on its continuation pages.
    std::vector<bool> continuation(layout.pages, false);
    for (std::size_t page = 0; page < layout.pages; ++page) {
        const std::uint32_t next = u32(original, page * layout.pageSize + layout.tdef.nextPageOffset);
        if (layout.type(original, page) == 2 && next < layout.pages)
            continuation[next] = true;
    }
    for (std::size_t page = 0; page < layout.pages; ++page) {
        const std::size_t base = page * layout.pageSize;
        if (layout.type(original, page) == 2 && !continuation[page]) {
            addNoticed("tdef " + std::to_string(page) + " continues on itself",
                [&](FileBytes& b) { put32(b, base + layout.tdef.nextPageOffset, static_cast<std::uint32_t>(page)); });
            addNoticed("tdef " + std::to_string(page) + " continues beyond the file",
                [&](FileBytes& b) { put32(b, base + layout.tdef.nextPageOffset, 0x00FFFFFF); });
            addNoticed("tdef " + std::to_string(page) + " claims 65535 columns", [&](FileBytes& b) {
                b[base + layout.tdef.numColsOffset] = 0xFF;
                b[base + layout.tdef.numColsOffset + 1] = 0xFF;
            });
            addNoticed("tdef " + std::to_string(page) + " claims 2^32-1 indexes",
                [&](FileBytes& b) { put32(b, base + layout.tdef.numRealIndexesOffset, 0xFFFFFFFF); });
            // The owned-pages map of the table emptied (its row given zero length).
            const std::uint32_t map = u32(original, base + layout.tdef.usedPagesOffset);
            const std::size_t mapPage = fmt::rowPointerPage(map);
            const std::size_t mapRow = fmt::rowPointerRow(map);
            if (layout.rowStart(original, mapPage, mapRow) != 0) {
                addNoticed("tdef " + std::to_string(page) + " usage map of zero length", [&](FileBytes& b) {
                    const std::size_t end = mapRow == 0
                        ? layout.pageSize
                        : (u16(b, layout.rowOffsetField(mapPage, mapRow - 1)) & fmt::datapage::kOffsetMask);
                    b[layout.rowOffsetField(mapPage, mapRow)] = static_cast<std::uint8_t>(end);
                    b[layout.rowOffsetField(mapPage, mapRow) + 1] = static_cast<std::uint8_t>(end >> 8);
                });
                addNoticed("tdef " + std::to_string(page) + " usage map of unknown type",
                    [&](FileBytes& b) { b[layout.rowStart(b, mapPage, mapRow)] = 7; });
                addNoticed("tdef " + std::to_string(page) + " usage map reference to every page", [&](FileBytes& b) {
                    const std::size_t start = layout.rowStart(b, mapPage, mapRow);
                    b[start] = fmt::usagemap::kReference;
                    for (std::size_t k = 0; k < 4; ++k)
                        put32(b, start + 1 + 4 * k, static_cast<std::uint32_t>(k * 3 % layout.pages));
                });
            }
        }
        if (layout.type(original, page) != 1)
            continue;
        std::uint32_t firstOverflowTarget = 0;
        // The first rows of each page stand for the rest; overflow rows are rare enough to take all.
        for (std::size_t row = 0; row < layout.rowCount(original, page); ++row) {
            const std::size_t start = layout.rowStart(original, page, row);
            const bool sampled = row < 6;
            const std::uint32_t self
                = fmt::rowPointer(static_cast<std::uint32_t>(page), static_cast<std::uint8_t>(row));
            const std::string where = "page " + std::to_string(page) + " row " + std::to_string(row);
            if (layout.isLval(original, page)) {
                // A chained long-value row whose next pointer leads back to itself.
                const std::uint32_t next = u32(original, start);
                if (next != 0 && layout.isLval(original, fmt::rowPointerPage(next)))
                    addNoticed(where + " long-value chain loops", [&](FileBytes& b) { put32(b, start, self); });
                continue;
            }
            const std::uint16_t offsetField = u16(original, layout.rowOffsetField(page, row));
            if ((offsetField & fmt::datapage::kOverflowFlag) && !(offsetField & fmt::datapage::kDeletedFlag)) {
                addNoticed(where + " overflow pointer to itself", [&](FileBytes& b) { put32(b, start, self); });
                if (firstOverflowTarget == 0) {
                    firstOverflowTarget = u32(original, start);
                } else {
                    addNoticed(where + " overflow pointer to another's moved row",
                        [&](FileBytes& b) { put32(b, start, firstOverflowTarget); });
                }
                addNoticed(
                    where + " overflow pointer beyond the file", [&](FileBytes& b) { put32(b, start, 0xFFFFFF00); });
            }
            if (!sampled)
                continue;
            add(where + " marked overflow",
                [&](FileBytes& b) { b[layout.rowOffsetField(page, row) + 1] |= fmt::datapage::kOverflowFlag >> 8; });
            add(where + " column count 0xFFFF", [&](FileBytes& b) {
                b[start] = 0xFF;
                if (layout.jet4)
                    b[start + 1] = 0xFF;
            });
        }
        // Memo headers (the 12-byte variable fields that point into a long-value page): make
        // their length 16 MB, point them at a row that is not there, give them an unknown type.
        int memos = 0;
        std::uint32_t firstPointer = 0; // of the page, so that both values are in one table
        for (std::size_t row = 0; row < layout.rowCount(original, page) && memos < 6; ++row) {
            for (const std::size_t at : layout.twelveByteVarFields(original, page, row)) {
                const std::uint8_t kind = original[at + 3];
                const std::uint32_t pointer = u32(original, at + 4);
                if ((kind != fmt::memo::kChain && kind != fmt::memo::kSingleRow) || u32(original, at + 8) != 0
                    || !layout.isLval(original, fmt::rowPointerPage(pointer)))
                    continue;
                ++memos;
                const std::string where = "memo at " + std::to_string(at);
                addNoticed(where + " of 16 MB", [&](FileBytes& b) { b[at] = b[at + 1] = b[at + 2] = 0xFF; });
                addNoticed(where + " chained from 16 MB", [&](FileBytes& b) {
                    b[at] = b[at + 1] = b[at + 2] = 0xFF;
                    b[at + 3] = fmt::memo::kChain;
                });
                addNoticed(where + " to a missing row", [&](FileBytes& b) { b[at + 4] = 0xFE; });
                addNoticed(where + " of unknown storage", [&](FileBytes& b) { b[at + 3] = 0x20; });
                if (firstPointer == 0) {
                    firstPointer = pointer;
                } else if (pointer != firstPointer) {
                    addNoticed(where + " shares the long-value row of another value",
                        [&](FileBytes& b) { put32(b, at + 4, firstPointer); });
                }
            }
        }
    }
    // The header: version, magic, the obfuscated region.
    addNoticed("version 7", [&](FileBytes& b) { b[fmt::header::kVersionOffset] = 7; });
    addNoticed("magic broken", [&](FileBytes& b) { b[fmt::header::kMagicOffset] ^= 0x20; });
    for (int round = 0; round < 8; ++round) {
        add("header region flipped, round " + std::to_string(round), [&](FileBytes& b) {
            for (int i = 0; i < 8; ++i)
                b[fmt::header::kMaskOffset + pick(fmt::header::kJet3MaskLength)]
                    ^= static_cast<std::uint8_t>(1 + pick(255));
        });
    }
    // Random bytes anywhere.
    for (int round = 0; round < 24; ++round) {
        add("random bytes, round " + std::to_string(round), [&](FileBytes& b) {
            for (int i = 0; i < 64; ++i)
                b[pick(b.size())] = static_cast<std::uint8_t>(pick(256));
        });
    }
    return out;
}

struct Outcome {
    bool opened = false;
    std::size_t damagedTables = 0; // tables that raised FormatError
    bool systemError = false;
    bool outOfRange = false;
    std::vector<Table> tables; // those read without error
    bool noticed() const { return !opened || damagedTables > 0; }
};

bool sameTables(const std::vector<Table>& a, const std::vector<Table>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
        [](const Table& x, const Table& y) { return x.name == y.name && x.columns == y.columns && x.rows == y.rows; });
}

Outcome openAndReadEverything(const FileBytes& bytes)
{
    Outcome outcome;
    try {
        const JetFile file = JetFile::fromBytes(bytes);
        outcome.opened = true;
        (void)file.password();
        for (const auto& name : file.tableNames(true)) {
            try {
                outcome.tables.push_back(file.readTable(name));
            } catch (const FormatError&) {
                ++outcome.damagedTables; // one damaged table does not stop us reading the others
            }
        }
    } catch (const FormatError&) {
    } catch (const std::system_error&) {
        outcome.systemError = true;
    } catch (const std::out_of_range&) {
        outcome.outOfRange = true;
    }
    return outcome;
}

class DamagedFile : public testing::TestWithParam<const char*> { };

TEST_P(DamagedFile, EndsInAResultOrAFormatErrorQuickly)
{
    const FileBytes original = readFile(kCorpus / GetParam());
    ASSERT_FALSE(original.empty());
    const Outcome intact = openAndReadEverything(original);
    ASSERT_TRUE(intact.opened && intact.damagedTables == 0);
    const auto damages = damagesOf(fs::path(GetParam()).filename().string(), original, 20240501);

    double slowest = 0;
    for (const auto& damage : damages) {
        g_largestAllocation = 0;
        const auto started = std::chrono::steady_clock::now();
        Outcome outcome;
        try {
            outcome = openAndReadEverything(damage.bytes);
        } catch (const std::exception& e) {
            ADD_FAILURE() << damage.name << ": " << typeid(e).name() << ": " << e.what();
            continue;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        slowest = std::max(slowest, seconds);
        EXPECT_LT(seconds, 2.0) << damage.name;
        // The file is held once; beyond that only a table definition or one long value at a time.
        EXPECT_LE(g_largestAllocation.load(), 2 * damage.bytes.size() + 65536) << damage.name;
        // Bytes in memory never raise the errors of file access or of a missing table.
        EXPECT_FALSE(outcome.systemError || outcome.outOfRange) << damage.name;
        if (damage.mustBeNoticed) {
            // Either noticed, or it hit bytes nothing reads (a deleted row, a free page).
            EXPECT_TRUE(outcome.noticed() || sameTables(outcome.tables, intact.tables))
                << damage.name << " was read as something else without an error";
        }
    }
    RecordProperty("cases", static_cast<int>(damages.size()));
    RecordProperty("slowest_ms", static_cast<int>(slowest * 1000));
}

INSTANTIATE_TEST_SUITE_P(Corpus, DamagedFile,
    testing::Values("generated/bank-jet4.mdb", "generated/bank-jet3-gbk.mdb", "access/jackcess-overflowTestV2000.mdb",
        "access/jackcess-delColTestV2000.mdb", "access/jackcess-delTestV1997.mdb",
        "access/jackcess-testUnicodeCompV2003.mdb", "access/mdbreader-V2000_with-password.mdb",
        "access/jackcess-fixedTextTestV2000.mdb", "access/jackcess-test2V1997.mdb"),
    [](const testing::TestParamInfo<const char*>& file) {
        std::string name = fs::path(file.param).stem().string();
        std::replace_if(
            name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
        return name;
    });

} // namespace
