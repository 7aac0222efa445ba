#include "emulator/macho/image.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "emulator/macho/bytes.h"
#include "emulator/macho/fixups.h"
#include "facts/slice_last_systems.h"

namespace emulator::macho {
namespace {

constexpr uint32_t fatMagic = 0xcafebabe;
constexpr uint32_t fatMagic64 = 0xcafebabf;
constexpr uint32_t magic32 = 0xfeedface;
constexpr uint32_t magic64 = 0xfeedfacf;
constexpr uint32_t dylibFileType = 6;

constexpr uint32_t cpuTypeARM = 12;
constexpr uint32_t cpuTypeARM64 = 0x0100000c;
constexpr uint32_t subtypeMask = 0x00ffffff; // the top byte holds capability bits

// A loader that meets a command with this bit and does not know it must refuse the file.
constexpr uint32_t requiredByLoader = 0x80000000;

enum LoadCommand : uint32_t {
    segment32 = 0x1,
    symtab = 0x2,
    dysymtab = 0xb,
    loadDylib = 0xc,
    segment64 = 0x19,
    uuid = 0x1b,
    codeSignature = 0x1d,
    splitInfo = 0x1e,
    encryptionInfo = 0x21,
    dyldInfo = 0x22,
    dyldInfoOnly = 0x80000022,
    versionMin = 0x25,
    functionStarts = 0x26,
    dataInCode = 0x29,
    sourceVersion = 0x2a,
    encryptionInfo64 = 0x2c,
    linkerOption = 0x2d,
    optimizationHint = 0x2e,
    buildVersion = 0x32,
    loadWeakDylib = 0x80000018,
    rpath = 0x8000001c,
    reexportDylib = 0x8000001f,
    loadUpwardDylib = 0x80000023,
    exportsTrie = 0x80000033,
    chainedFixups = 0x80000034,
};

constexpr uint64_t largestImage = 16 << 20; // far above any library of this kind

std::optional<Arch> archOf(uint32_t cpuType, uint32_t cpuSubtype) {
    uint32_t subtype = cpuSubtype & subtypeMask;
    if (cpuType == cpuTypeARM && subtype == 9) {
        return Arch::armv7;
    }
    if (cpuType == cpuTypeARM && subtype == 11) {
        return Arch::armv7s;
    }
    if (cpuType == cpuTypeARM64 && subtype == 0) {
        return Arch::arm64;
    }
    if (cpuType == cpuTypeARM64 && subtype == 2) {
        return Arch::arm64e;
    }
    return std::nullopt;
}

struct Slice {
    std::optional<Arch> arch;
    uint32_t cpuType;
    uint32_t cpuSubtype;
    Bytes bytes;
};

std::vector<Slice> slices(std::string_view file) {
    Bytes whole(file);
    if (whole.size() < 4) {
        throw LoadError("not a Mach-O file: too short");
    }
    uint32_t magic = whole.big32(0, "the magic number");
    if (magic == fatMagic || magic == fatMagic64) {
        uint32_t count = whole.big32(4, "the fat header");
        if (count == 0 || count > 32) {
            throw LoadError("a fat file with " + std::to_string(count) + " slices");
        }
        std::vector<Slice> found;
        size_t entry = magic == fatMagic ? 20 : 32;
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t at = 8 + i * entry;
            uint32_t cpuType = whole.big32(at, "a fat entry");
            uint32_t cpuSubtype = whole.big32(at + 4, "a fat entry");
            uint64_t offset =
                magic == fatMagic ? whole.big32(at + 8, "a fat entry") : whole.big64(at + 8, "a fat entry");
            uint64_t size =
                magic == fatMagic ? whole.big32(at + 12, "a fat entry") : whole.big64(at + 16, "a fat entry");
            found.push_back(
                {archOf(cpuType, cpuSubtype), cpuType, cpuSubtype, whole.slice(offset, size, "a slice")});
        }
        return found;
    }
    uint32_t little = whole.little<uint32_t>(0, "the magic number");
    if (little != magic32 && little != magic64) {
        throw LoadError("not a Mach-O file");
    }
    uint32_t cpuType = whole.little<uint32_t>(4, "the Mach-O header");
    uint32_t cpuSubtype = whole.little<uint32_t>(8, "the Mach-O header");
    return {{archOf(cpuType, cpuSubtype), cpuType, cpuSubtype, whole}};
}

std::string hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

class Reader {
  public:
    Reader(Image &image, Bytes slice) : image_(image), slice_(slice), wide_(is64Bit(image.arch)) {}

    void read() {
        uint32_t magic = slice_.little<uint32_t>(0, "the Mach-O header");
        if (magic != (wide_ ? magic64 : magic32)) {
            throw LoadError(std::string("the ") + archName(image_.arch) + " slice has the wrong header");
        }
        std::optional<Arch> stated = archOf(slice_.little<uint32_t>(4, "the Mach-O header"),
                                            slice_.little<uint32_t>(8, "the Mach-O header"));
        if (stated != image_.arch) {
            throw LoadError(std::string("the ") + archName(image_.arch) +
                            " slice's header names another processor");
        }
        if (slice_.little<uint32_t>(12, "the Mach-O header") != dylibFileType) {
            throw LoadError("not a dynamic library");
        }
        uint32_t count = slice_.little<uint32_t>(16, "the Mach-O header");
        uint32_t size = slice_.little<uint32_t>(20, "the Mach-O header");
        uint64_t at = wide_ ? 32 : 28;
        Bytes commands = slice_.slice(at, size, "the load commands");
        uint64_t offset = 0;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t cmd = commands.little<uint32_t>(offset, "a load command");
            uint32_t cmdSize = commands.little<uint32_t>(offset + 4, "a load command");
            if (cmdSize < 8 || cmdSize % 4 != 0) {
                throw LoadError("load command " + std::to_string(i) + " has size " + std::to_string(cmdSize));
            }
            command(cmd, commands.slice(offset, cmdSize, "a load command"));
            offset += cmdSize;
        }
        finish();
    }

  private:
    void command(uint32_t cmd, Bytes lc) {
        switch (cmd) {
        case segment32:
        case segment64:
            segment(lc, cmd == segment64);
            break;
        case loadDylib:
        case loadWeakDylib:
        case reexportDylib:
        case loadUpwardDylib:
            libraries_.push_back(lc.cString(lc.little<uint32_t>(8, "a dylib command"), "a library's name"));
            break;
        case dyldInfo:
        case dyldInfoOnly:
            dyldInfo_ = lc;
            break;
        case chainedFixups:
            chained_ = lc;
            break;
        case encryptionInfo:
        case encryptionInfo64:
            if (lc.little<uint32_t>(16, "the encryption command") != 0) {
                throw LoadError("the library is encrypted");
            }
            break;
        case symtab:
            image_.symbols = {lc.little<uint32_t>(8, "the symbol table command"),
                              lc.little<uint32_t>(12, "the symbol table command"),
                              lc.little<uint32_t>(16, "the symbol table command"),
                              lc.little<uint32_t>(20, "the symbol table command")};
            break;
        case dysymtab:
        case versionMin:
            image_.minimumSystem = lc.little<uint32_t>(8, "the lowest-system command");
            break;
        case buildVersion:
            image_.minimumSystem = lc.little<uint32_t>(12, "the build-version command");
            break;
        case uuid:
        case codeSignature:
        case splitInfo:
        case functionStarts:
        case dataInCode:
        case sourceVersion:
        case linkerOption:
        case optimizationHint:
        case rpath:
        case exportsTrie:
            break;
        default:
            if (cmd & requiredByLoader) {
                throw LoadError("unknown load command " + hex(cmd) + " that the loader must understand");
            }
        }
    }

    void segment(Bytes lc, bool wide) {
        if (wide != wide_) {
            throw LoadError("a segment command of the wrong width");
        }
        Segment s;
        s.name = lc.name16(8, "a segment command");
        size_t field = wide ? 8 : 4;
        auto number = [&](uint64_t at) {
            return wide ? lc.little<uint64_t>(at, "a segment command")
                        : lc.little<uint32_t>(at, "a segment command");
        };
        s.address = number(24);
        s.size = number(24 + field);
        s.fileOffset = number(24 + 2 * field);
        s.fileSize = number(24 + 3 * field);
        uint64_t at = 24 + 4 * field;
        s.protection = lc.little<uint32_t>(at + 4, "a segment command"); // initprot
        uint32_t sectionCount = lc.little<uint32_t>(at + 8, "a segment command");
        if (s.size > largestImage || s.address > UINT64_MAX - s.size || s.fileSize > s.size) {
            throw LoadError("segment " + s.name + " has an impossible size");
        }
        slice_.slice(s.fileOffset, s.fileSize, ("segment " + s.name).c_str());
        uint64_t sectionAt = at + 16;
        size_t sectionSize = wide ? 80 : 68;
        for (uint32_t i = 0; i < sectionCount; ++i) {
            Bytes raw = lc.slice(sectionAt + i * sectionSize, sectionSize, "a section header");
            Section section;
            section.name = raw.name16(0, "a section header");
            section.segment = raw.name16(16, "a section header");
            section.address =
                wide ? raw.little<uint64_t>(32, "a section") : raw.little<uint32_t>(32, "a section");
            section.size =
                wide ? raw.little<uint64_t>(40, "a section") : raw.little<uint32_t>(36, "a section");
            section.flags = raw.little<uint32_t>(wide ? 64 : 56, "a section");
            if (section.address < s.address || section.size > s.size ||
                section.address - s.address > s.size - section.size) {
                throw LoadError("section " + section.name + " lies outside segment " + s.name);
            }
            image_.sections.push_back(section);
        }
        image_.segments.push_back(s);
    }

    void finish() {
        if (image_.segments.empty()) {
            throw LoadError("the library has no segments");
        }
        std::vector<Segment> sorted = image_.segments;
        std::sort(sorted.begin(), sorted.end(), [](auto &a, auto &b) { return a.address < b.address; });
        for (size_t i = 1; i < sorted.size(); ++i) {
            if (sorted[i].address < sorted[i - 1].address + sorted[i - 1].size) {
                throw LoadError("segments " + sorted[i - 1].name + " and " + sorted[i].name + " overlap");
            }
        }
        if (image_.end() - image_.base() > largestImage) {
            throw LoadError("the library spans more than 16 MiB");
        }
        if (sorted.front().fileOffset != 0) {
            throw LoadError("no segment maps the Mach-O header");
        }
        if (dyldInfo_ && chained_) {
            throw LoadError("the library has both classic and chained fixups");
        }
        FixupReader fixups(image_, slice_, libraries_);
        if (dyldInfo_) {
            fixups.readDyldInfo(*dyldInfo_);
        }
        if (chained_) {
            fixups.readChainedFixups(*chained_);
        }
        checkFixups();
    }

    void checkFixups() {
        unsigned pointer = wide_ ? 8 : 4;
        for (const Fixup &fixup : image_.fixups) {
            bool inside = std::any_of(image_.segments.begin(), image_.segments.end(), [&](const Segment &s) {
                return fixup.address >= s.address && fixup.address - s.address <= s.size - pointer &&
                       s.size >= pointer;
            });
            if (!inside) {
                throw LoadError("a fixup at " + hex(fixup.address) + " lies outside the image");
            }
            if (fixup.kind == Fixup::Kind::rebase &&
                (fixup.target < image_.base() || fixup.target > image_.end())) {
                throw LoadError("the fixup at " + hex(fixup.address) + " points outside the image, to " +
                                hex(fixup.target));
            }
        }
    }

    Image &image_;
    Bytes slice_;
    bool wide_;
    std::vector<std::string> libraries_;
    std::optional<Bytes> dyldInfo_;
    std::optional<Bytes> chained_;
};

} // namespace

std::optional<Arch> archNamed(std::string_view name) {
    for (Arch arch : {Arch::armv7, Arch::armv7s, Arch::arm64, Arch::arm64e}) {
        if (name == archName(arch)) {
            return arch;
        }
    }
    return std::nullopt;
}

const char *archName(Arch arch) {
    switch (arch) {
    case Arch::armv7:
        return "armv7";
    case Arch::armv7s:
        return "armv7s";
    case Arch::arm64:
        return "arm64";
    case Arch::arm64e:
        return "arm64e";
    }
    return "?";
}

std::optional<uint32_t> lastSystemOf(Arch arch) {
    for (const facts::SliceLastSystem &row : facts::sliceLastSystems) {
        if (std::string_view(archName(arch)) == row.slice && row.packed != 0) {
            return row.packed;
        }
    }
    return std::nullopt;
}

std::string systemName(uint32_t packed) {
    std::string name = "iOS " + std::to_string(packed >> 16) + "." + std::to_string(packed >> 8 & 0xff);
    return packed & 0xff ? name + "." + std::to_string(packed & 0xff) : name;
}

bool is64Bit(Arch arch) {
    return arch == Arch::arm64 || arch == Arch::arm64e;
}

uint64_t Image::base() const {
    uint64_t lowest = UINT64_MAX;
    for (const Segment &s : segments) {
        lowest = std::min(lowest, s.address);
    }
    return lowest;
}

uint64_t Image::end() const {
    uint64_t highest = 0;
    for (const Segment &s : segments) {
        highest = std::max(highest, s.address + s.size);
    }
    return highest;
}

const Section *Image::section(std::string_view name) const {
    for (const Section &s : sections) {
        if (s.name == name) {
            return &s;
        }
    }
    return nullptr;
}

std::vector<const Section *> Image::sectionsWithType(uint32_t type) const {
    std::vector<const Section *> found;
    for (const Section &s : sections) {
        if ((s.flags & sectionTypeMask) == type) {
            found.push_back(&s);
        }
    }
    return found;
}

Image readImage(std::string_view file, std::optional<Arch> arch) {
    std::vector<Slice> all = slices(file);
    const Slice *chosen = nullptr;
    if (!arch) {
        if (all.size() != 1) {
            std::string names;
            for (const Slice &slice : all) {
                names +=
                    std::string(names.empty() ? "" : ", ") + (slice.arch ? archName(*slice.arch) : "unknown");
            }
            throw NoSliceChosen("the file holds " + std::to_string(all.size()) + " slices (" + names +
                                "), and none was chosen");
        }
        chosen = &all[0];
        if (!chosen->arch) {
            throw LoadError("the file's only slice is for a processor the emulator does not run");
        }
    } else {
        for (const Slice &slice : all) {
            if (slice.arch == arch && !chosen) {
                chosen = &slice; // the first, as the loader takes it
            }
        }
        if (!chosen) {
            throw LoadError(std::string("the file has no ") + archName(*arch) + " slice");
        }
    }
    Image image;
    image.arch = *chosen->arch;
    image.bytes = chosen->bytes.data();
    Reader(image, chosen->bytes).read();
    return image;
}

namespace {

// The defined symbol nearest at or before `address` (exactly at it, with `exact`), and its value.
std::pair<std::string, uint64_t> nearestSymbol(const Image &image, uint64_t address, bool exact) {
    constexpr uint8_t debugging = 0xe0, kind = 0x0e, definedInSection = 0x0e;
    bool wide = is64Bit(image.arch);
    size_t entry = wide ? 16 : 12;
    std::pair<std::string, uint64_t> best{"", 0};
    try {
        Bytes slice(image.bytes);
        Bytes strings =
            slice.slice(image.symbols.stringsOffset, image.symbols.stringsSize, "the symbol names");
        Bytes table =
            slice.slice(image.symbols.offset, uint64_t(image.symbols.count) * entry, "the symbol table");
        for (uint32_t i = 0; i < image.symbols.count; ++i) {
            uint64_t at = uint64_t(i) * entry;
            uint8_t type = table.little<uint8_t>(at + 4, "a symbol");
            uint64_t value = wide ? table.little<uint64_t>(at + 8, "a symbol")
                                  : table.little<uint32_t>(at + 8, "a symbol");
            bool near = exact ? value == address : value <= address && value >= best.second;
            if (!(type & debugging) && (type & kind) == definedInSection && near) {
                std::string name = strings.cString(table.little<uint32_t>(at, "a symbol"), "a symbol's name");
                best = {name.starts_with("_") ? name.substr(1) : name, value};
            }
        }
    } catch (const LoadError &) {
        // A table that lies outside the slice names nothing; the loader never needed it.
    }
    return best;
}

} // namespace

std::string symbolAt(const Image &image, uint64_t address) {
    return nearestSymbol(image, address, true).first;
}

std::string functionAt(const Image &image, uint64_t address) {
    auto [name, value] = nearestSymbol(image, address & ~uint64_t(1), false); // a Thumb address's low bit
    if (name.empty()) {
        return "";
    }
    char offset[32];
    std::snprintf(offset, sizeof offset, "+0x%llx",
                  static_cast<unsigned long long>((address & ~uint64_t(1)) - value));
    return name + offset;
}

} // namespace emulator::macho
