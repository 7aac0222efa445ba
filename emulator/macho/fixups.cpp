#include "emulator/macho/fixups.h"

namespace emulator::macho {
namespace {

// Library ordinals with a meaning of their own.
constexpr int64_t ordinalSelf = 0;
constexpr int64_t ordinalMainExecutable = -1;
constexpr int64_t ordinalFlatLookup = -2;
constexpr int64_t ordinalWeakLookup = -3;

constexpr uint8_t bindTypePointer = 1;
constexpr uint8_t symbolWeakImport = 0x1;

// The chained formats the loader reads: those the device build writes (arm64e's pointers, plain
// imports). Other formats are refused by name rather than read by code nothing checks.
constexpr uint16_t ptrARM64E = 1;
constexpr uint32_t importPlain = 1;
constexpr uint16_t pageStartNone = 0xffff;
constexpr uint16_t pageStartMulti = 0x8000;

uint64_t bits(uint64_t value, unsigned low, unsigned count) {
    return (value >> low) & ((uint64_t(1) << count) - 1);
}

int64_t signExtend(uint64_t value, unsigned count) {
    uint64_t sign = uint64_t(1) << (count - 1);
    return static_cast<int64_t>((value ^ sign) - sign);
}

} // namespace

FixupReader::FixupReader(Image &image, Bytes slice, std::vector<std::string> libraries)
    : image_(image), slice_(slice), libraries_(std::move(libraries)), pointer_(is64Bit(image.arch) ? 8 : 4) {}

uint32_t FixupReader::importIndex(int64_t ordinal, const std::string &symbol, bool weak) {
    switch (ordinal) {
    case ordinalSelf:
        throw LoadError("the library binds " + symbol + " to itself");
    case ordinalMainExecutable:
        throw LoadError("the library binds " + symbol + " to the main executable");
    case ordinalFlatLookup:
        throw LoadError("the library looks " + symbol + " up in the flat namespace");
    case ordinalWeakLookup:
        throw LoadError("the library looks " + symbol + " up among weak definitions");
    }
    if (ordinal < 1 || static_cast<uint64_t>(ordinal) > libraries_.size()) {
        throw LoadError(symbol + " names library " + std::to_string(ordinal) +
                        ", which the library does not load");
    }
    auto key = std::make_tuple(libraries_[ordinal - 1], symbol, weak);
    auto [found, added] = known_.try_emplace(key, static_cast<uint32_t>(image_.imports.size()));
    if (added) {
        image_.imports.push_back({libraries_[ordinal - 1], symbol, weak});
    }
    return found->second;
}

// Each pointer is fixed once at most, so a list longer than the image has pointers is a bad file
// (and, unchecked, a way to make the loader spend without end).
void FixupReader::add(const Fixup &fixup) {
    if (image_.fixups.size() > (image_.end() - image_.base()) / pointer_) {
        throw LoadError("more fixups than the library has pointers");
    }
    image_.fixups.push_back(fixup);
}

uint64_t FixupReader::segmentAddress(uint64_t segment, uint64_t offset) const {
    if (segment >= image_.segments.size()) {
        throw LoadError("a fixup names segment " + std::to_string(segment) + ", which does not exist");
    }
    const Segment &s = image_.segments[segment];
    if (offset > s.size) {
        throw LoadError("a fixup lies beyond the end of segment " + s.name);
    }
    return s.address + offset;
}

// What the file holds at an address: a zero-filled part of a segment reads as zero.
uint64_t FixupReader::readPointer(uint64_t address) const {
    for (const Segment &s : image_.segments) {
        if (address >= s.address && address - s.address + pointer_ <= s.size) {
            uint64_t offset = address - s.address;
            if (offset + pointer_ > s.fileSize) {
                return 0;
            }
            return pointer_ == 8 ? slice_.little<uint64_t>(s.fileOffset + offset, "a fixed-up pointer")
                                 : slice_.little<uint32_t>(s.fileOffset + offset, "a fixed-up pointer");
        }
    }
    throw LoadError("a fixup lies outside every segment");
}

void FixupReader::readDyldInfo(Bytes command) {
    auto part = [&](uint64_t at, const char *what) {
        return slice_.slice(command.little<uint32_t>(at, what), command.little<uint32_t>(at + 4, what), what);
    };
    rebases(part(8, "the rebase opcodes"));
    binds(part(16, "the bind opcodes"), false);
    // The weak bind opcodes name what the library defines for coalescing; the platform defines
    // none of those names, so the library's own definitions stand and the stream is not read.
    binds(part(32, "the lazy bind opcodes"), true);
}

void FixupReader::rebases(Bytes opcodes) {
    Stream in(opcodes, "the rebase opcodes");
    uint64_t segment = 0;
    uint64_t offset = 0;
    bool placed = false;
    auto rebase = [&] {
        if (!placed) {
            throw LoadError("a rebase comes before its segment is set");
        }
        uint64_t address = segmentAddress(segment, offset);
        add({Fixup::Kind::rebase, address, readPointer(address), 0, 0, 0, std::nullopt});
        offset += pointer_;
    };
    while (!in.done()) {
        uint8_t byte = in.byte();
        uint8_t immediate = byte & 0x0f;
        switch (byte & 0xf0) {
        case 0x00: // done
            return;
        case 0x10: // set type
            if (immediate != bindTypePointer) {
                throw LoadError("a rebase of type " + std::to_string(immediate) +
                                " (only pointers are rebased here)");
            }
            break;
        case 0x20: // set segment and offset
            segment = immediate;
            offset = in.uleb();
            placed = true;
            break;
        case 0x30: // add address
            offset += in.uleb();
            break;
        case 0x40: // add address, scaled immediate
            offset += immediate * pointer_;
            break;
        case 0x50: // rebase immediate times
            for (unsigned i = 0; i < immediate; ++i) {
                rebase();
            }
            break;
        case 0x60: { // rebase ULEB times
            uint64_t times = in.uleb();
            for (uint64_t i = 0; i < times; ++i) {
                rebase();
            }
            break;
        }
        case 0x70: // rebase and add address
            rebase();
            offset += in.uleb();
            break;
        case 0x80: { // rebase ULEB times, skipping ULEB
            uint64_t times = in.uleb();
            uint64_t skip = in.uleb();
            for (uint64_t i = 0; i < times; ++i) {
                rebase();
                offset += skip;
            }
            break;
        }
        default:
            throw LoadError("an unknown rebase opcode");
        }
    }
}

void FixupReader::binds(Bytes opcodes, bool lazy) {
    const char *what = lazy ? "the lazy bind opcodes" : "the bind opcodes";
    Stream in(opcodes, what);
    int64_t ordinal = 0;
    std::string symbol;
    bool weak = false;
    int64_t addend = 0;
    uint64_t segment = 0;
    uint64_t offset = 0;
    bool placed = false;
    auto bind = [&] {
        if (!placed || symbol.empty()) {
            throw LoadError("a bind comes before its symbol and place are set");
        }
        uint64_t address = segmentAddress(segment, offset);
        add({Fixup::Kind::bind, address, 0, importIndex(ordinal, symbol, weak), addend, 0, std::nullopt});
        offset += pointer_;
    };
    while (!in.done()) {
        uint8_t byte = in.byte();
        uint8_t immediate = byte & 0x0f;
        switch (byte & 0xf0) {
        case 0x00: // done; in the lazy stream it ends one entry
            if (!lazy) {
                return;
            }
            break;
        case 0x10:
            ordinal = immediate;
            break;
        case 0x20:
            ordinal = static_cast<int64_t>(in.uleb());
            break;
        case 0x30:
            ordinal = immediate == 0 ? 0 : signExtend(0xf0 | immediate, 8);
            break;
        case 0x40:
            symbol = in.cString();
            weak = immediate & symbolWeakImport;
            break;
        case 0x50:
            if (immediate != bindTypePointer) {
                throw LoadError("a bind of type " + std::to_string(immediate) +
                                " (only pointers are bound here)");
            }
            break;
        case 0x60:
            addend = in.sleb();
            break;
        case 0x70:
            segment = immediate;
            offset = in.uleb();
            placed = true;
            break;
        case 0x80:
            offset += in.uleb();
            break;
        case 0x90: // bind; then skip nothing, an encoded count of bytes, or `immediate` pointers
        case 0xa0:
        case 0xb0:
            bind();
            offset += (byte & 0xf0) == 0xa0 ? in.uleb() : (byte & 0xf0) == 0xb0 ? immediate * pointer_ : 0;
            break;
        case 0xc0: {
            uint64_t times = in.uleb();
            uint64_t skip = in.uleb();
            for (uint64_t i = 0; i < times; ++i) {
                bind();
                offset += skip;
            }
            break;
        }
        case 0xd0:
            throw LoadError("threaded binds (the arm64e format of iOS 12) are not read here");
        default:
            throw LoadError(std::string("an unknown opcode in ") + what);
        }
    }
}

void FixupReader::readChainedFixups(Bytes command) {
    Bytes blob =
        slice_.slice(command.little<uint32_t>(8, "the chained fixups command"),
                     command.little<uint32_t>(12, "the chained fixups command"), "the chained fixups");
    if (blob.little<uint32_t>(0, "the chained fixups header") != 0) {
        throw LoadError("chained fixups of an unknown version");
    }
    uint32_t startsOffset = blob.little<uint32_t>(4, "the chained fixups header");
    uint32_t importsOffset = blob.little<uint32_t>(8, "the chained fixups header");
    uint32_t symbolsOffset = blob.little<uint32_t>(12, "the chained fixups header");
    uint32_t importsCount = blob.little<uint32_t>(16, "the chained fixups header");
    uint32_t importsFormat = blob.little<uint32_t>(20, "the chained fixups header");
    if (blob.little<uint32_t>(24, "the chained fixups header") != 0) {
        throw LoadError("compressed chained-fixup symbol names");
    }
    if (importsFormat != importPlain) {
        throw LoadError("chained imports of format " + std::to_string(importsFormat));
    }
    Bytes symbols = blob.slice(symbolsOffset, blob.size() - std::min<uint64_t>(symbolsOffset, blob.size()),
                               "the chained-fixup symbols");
    std::vector<uint32_t> imports;
    for (uint32_t i = 0; i < importsCount; ++i) {
        uint32_t raw = blob.little<uint32_t>(importsOffset + uint64_t(i) * 4, "a chained import");
        int64_t ordinal = signExtend(bits(raw, 0, 8), 8);
        imports.push_back(importIndex(ordinal, symbols.cString(bits(raw, 9, 23), "a chained import's name"),
                                      bits(raw, 8, 1)));
    }

    uint32_t segmentCount = blob.little<uint32_t>(startsOffset, "the chained starts");
    if (segmentCount != image_.segments.size()) {
        throw LoadError("the chained starts list " + std::to_string(segmentCount) +
                        " segments, the library has " + std::to_string(image_.segments.size()));
    }
    for (uint32_t s = 0; s < segmentCount; ++s) {
        uint32_t infoOffset = blob.little<uint32_t>(startsOffset + 4 + 4 * s, "the chained starts");
        if (infoOffset == 0) {
            continue;
        }
        uint64_t at = startsOffset + uint64_t(infoOffset);
        uint16_t pageSize = blob.little<uint16_t>(at + 4, "a segment's chained starts");
        uint16_t format = blob.little<uint16_t>(at + 6, "a segment's chained starts");
        uint64_t segmentOffset = blob.little<uint64_t>(at + 8, "a segment's chained starts");
        uint16_t pageCount = blob.little<uint16_t>(at + 20, "a segment's chained starts");
        if (pageSize != 0x1000 && pageSize != 0x4000) {
            throw LoadError("chained fixups with pages of " + std::to_string(pageSize) + " bytes");
        }
        const Segment &segment = image_.segments[s];
        if (segment.address - image_.base() != segmentOffset) {
            throw LoadError("the chained starts place segment " + segment.name + " elsewhere");
        }
        for (uint16_t page = 0; page < pageCount; ++page) {
            uint16_t start = blob.little<uint16_t>(at + 22 + 2 * page, "a page's chain start");
            if (start == pageStartNone) {
                continue;
            }
            if (start & pageStartMulti) {
                throw LoadError("chains with several starts in a page (a 32-bit format)");
            }
            uint64_t pageOffset = segmentOffset + uint64_t(page) * pageSize;
            chain(pageOffset + start, pageOffset + pageSize, format, imports);
        }
    }
}

void FixupReader::chain(uint64_t offset, uint64_t pageEnd, uint16_t format,
                        const std::vector<uint32_t> &imports) {
    if (format != ptrARM64E) {
        throw LoadError("chained pointers of format " + std::to_string(format));
    }
    constexpr unsigned stride = 8;
    uint64_t base = image_.base();
    for (;;) {
        if (offset + 8 > pageEnd) {
            throw LoadError("a fixup chain leaves its page");
        }
        uint64_t address = base + offset;
        uint64_t raw = readPointer(address);
        Fixup fixup{Fixup::Kind::rebase, address, 0, 0, 0, 0, std::nullopt};
        auto bindTo = [&](uint64_t ordinal, int64_t addend) {
            if (ordinal >= imports.size()) {
                throw LoadError("a chained bind names import " + std::to_string(ordinal) + " of " +
                                std::to_string(imports.size()));
            }
            fixup.kind = Fixup::Kind::bind;
            fixup.import = imports[ordinal];
            fixup.addend = addend;
        };
        bool auth = bits(raw, 63, 1);
        bool bind = bits(raw, 62, 1);
        uint64_t next = bits(raw, 51, 11);
        if (auth) {
            fixup.authentication = Authentication{uint8_t(bits(raw, 49, 2)), uint16_t(bits(raw, 32, 16)),
                                                  bool(bits(raw, 48, 1))};
            if (bind) {
                bindTo(bits(raw, 0, 16), 0);
            } else {
                fixup.target = base + bits(raw, 0, 32);
            }
        } else if (bind) {
            bindTo(bits(raw, 0, 16), signExtend(bits(raw, 32, 19), 19));
        } else {
            fixup.target = bits(raw, 0, 43); // an unslid address, as ARM64E's plain rebases hold
            fixup.high8 = uint8_t(bits(raw, 43, 8));
        }
        add(fixup);
        if (next == 0) {
            return;
        }
        offset += next * stride;
    }
}

} // namespace emulator::macho
