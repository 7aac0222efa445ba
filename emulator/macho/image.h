// A Mach-O device library as the loader reads it: one slice of a fat or thin file, its segments,
// the libraries it imports from, every fixup its pointers need, and where its initializers and
// Objective-C sections lie. Reading checks the file; nothing here runs code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/failures.h"

namespace emulator::macho {

enum class Arch { armv7, armv7s, arm64, arm64e };
std::optional<Arch> archNamed(std::string_view name);
const char *archName(Arch arch);
bool is64Bit(Arch arch);
// The last system whose devices run this processor's code, packed as Mach-O packs a version
// (xxxx.yy.zz): 32-bit ARM ends with iOS 10.3.4. None for 64-bit.
std::optional<uint32_t> lastSystemOf(Arch arch);
// A packed version as the platform names its releases: "iOS 7.0", "iOS 10.3.4".
std::string systemName(uint32_t packed);

struct Segment {
    std::string name;
    uint64_t address;
    uint64_t size;
    uint64_t fileOffset;
    uint64_t fileSize;
    uint32_t protection; // VM_PROT_READ 1, WRITE 2, EXECUTE 4
};

struct Section {
    std::string segment;
    std::string name;
    uint64_t address;
    uint64_t size;
    uint32_t flags;
};

// An imported symbol: the library it binds to (by install name) and its name.
struct Import {
    std::string library;
    std::string symbol;
    bool weak;
};

// Pointer authentication of a fixed-up pointer: the key (0 IA, 1 IB, 2 DA, 3 DB) and the
// discriminator, blended with the slot's address when addressDiversity is set.
struct Authentication {
    uint8_t key;
    uint16_t diversity;
    bool addressDiversity;
};

// One pointer-sized slot the loader writes before any code runs.
struct Fixup {
    enum class Kind { rebase, bind } kind;
    uint64_t address; // of the slot, unslid
    uint64_t target;  // rebase: the unslid address it points to
    uint32_t import;  // bind: index into Image::imports
    int64_t addend;   // bind: added to the symbol's address
    uint8_t high8;    // rebase: top byte kept as is (ARM64E)
    std::optional<Authentication> authentication;
};

// Where the symbol table lies in the slice (LC_SYMTAB), as the load command gives it; the loader
// needs none of it, so it is read only when a symbol is looked for.
struct SymbolTable {
    uint32_t offset = 0;
    uint32_t count = 0;
    uint32_t stringsOffset = 0;
    uint32_t stringsSize = 0;
};

struct Image {
    Arch arch;
    std::vector<Segment> segments;
    std::vector<Section> sections;
    std::vector<Import> imports;
    std::vector<Fixup> fixups;
    SymbolTable symbols;
    // The lowest system the slice declares (LC_VERSION_MIN_IPHONEOS or LC_BUILD_VERSION), as
    // major << 16 | minor << 8 | patch, which a loader refuses to run it below; 0 where none.
    uint32_t minimumSystem = 0;
    // The slice's own bytes, which the segments' file offsets index.
    std::string_view bytes;

    uint64_t base() const; // the lowest segment address (the mach header)
    uint64_t end() const;  // one past the highest
    const Section *section(std::string_view name) const;
    std::vector<const Section *> sectionsWithType(uint32_t type) const;
};

// Section types the loader acts on.
constexpr uint32_t sectionTypeMask = 0xff;
constexpr uint32_t sectionModInitPointers = 0x9;
constexpr uint32_t sectionInitOffsets = 0x16;

// The name of the symbol defined at `address` (unslid), as C names it (the leading underscore
// dropped), as a debugger names a function or a variable; empty where the table names none, or
// where it lies outside the slice.
std::string symbolAt(const Image &image, uint64_t address);
// The function `address` (unslid) lies in, as "name+0xOFFSET" from the nearest symbol defined at or
// before it; empty where none is.
std::string functionAt(const Image &image, uint64_t address);

// Picks the slice for `arch` from a fat or thin Mach-O file; without `arch`, a file must hold
// exactly one slice. Reads and checks it whole. `file` must outlive the image.
Image readImage(std::string_view file, std::optional<Arch> arch);

} // namespace emulator::macho
