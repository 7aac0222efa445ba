#include "emulator/loader.h"

#include <cstring>
#include <random>

namespace emulator {
namespace {

using macho::LoadError;

// Where a slid image may land: clear of the emulator's own memory, and inside 32 bits for ARM.
constexpr uint64_t lowest32 = 0x10000000;
constexpr uint64_t highest32 = 0x70000000;
constexpr uint64_t lowest64 = 0x100000000;
constexpr uint64_t highest64 = 0x1000000000;

const char *const classSections[] = {"__objc_classlist", "__objc_catlist",   "__objc_nlclslist",
                                     "__objc_nlcatlist", "__objc_protolist", "__objc_classrefs",
                                     "__objc_superrefs"};

uint64_t chooseBase(const macho::Image &image, uint64_t page) {
    bool wide = macho::is64Bit(image.arch);
    uint64_t span = (image.end() - image.base() + page - 1) & ~(page - 1);
    uint64_t lowest = wide ? lowest64 : lowest32;
    uint64_t highest = wide ? highest64 : highest32;
    std::random_device random;
    uint64_t choices = (highest - lowest - span) / page;
    uint64_t pick = (uint64_t(random()) << 32 | random()) % choices;
    return lowest + pick * page;
}

// The discriminator of an authenticated pointer: its diversity, blended with the slot's address.
uint64_t discriminator(const macho::Authentication &auth, uint64_t slot) {
    if (!auth.addressDiversity) {
        return auth.diversity;
    }
    return (slot & 0x0000ffffffffffffull) | (uint64_t(auth.diversity) << 48);
}

void mapSegments(const macho::Image &image, Processor &processor, uint64_t slide) {
    for (const macho::Segment &segment : image.segments) {
        if ((segment.address + slide) % 0x1000 || segment.size % 0x1000) {
            throw LoadError("segment " + segment.name + " is not page-aligned");
        }
        if (!segment.size) {
            continue;
        }
        uint8_t *memory = processor.map(segment.address + slide, segment.size, segment.protection);
        std::memcpy(memory, image.bytes.data() + segment.fileOffset, segment.fileSize);
    }
}

void applyFixups(const macho::Image &image, Processor &processor, Bridge &bridge, uint64_t slide) {
    std::vector<uint64_t> imports;
    for (const macho::Import &import : image.imports) {
        imports.push_back(bridge.resolve(import));
    }
    for (const macho::Fixup &fixup : image.fixups) {
        uint64_t slot = fixup.address + slide;
        uint64_t value;
        if (fixup.kind == macho::Fixup::Kind::rebase) {
            value = fixup.target + slide;
        } else {
            uint64_t symbol = imports[fixup.import];
            value = symbol ? symbol + static_cast<uint64_t>(fixup.addend) : 0;
        }
        if (fixup.authentication && value) {
            const macho::Authentication &auth = *fixup.authentication;
            value = processor.sign(value, static_cast<Key>(auth.key), discriminator(auth, slot));
        } else if (fixup.high8) {
            value |= uint64_t(fixup.high8) << 56;
        }
        processor.writePointer(slot, value);
    }
}

// What the Objective-C runtime does for a new image before its code runs: read the image info
// and make every selector reference the process's own selector.
void setUpObjectiveC(const macho::Image &image, Processor &processor, Bridge &bridge, uint64_t slide) {
    for (const char *name : classSections) {
        const macho::Section *section = image.section(name);
        if (section && section->size) {
            throw LoadError(
                std::string("the library has ") + name +
                ": it defines or references Objective-C classes, which this runtime set-up does not do");
        }
    }
    const macho::Section *selectors = image.section("__objc_selrefs");
    const macho::Section *info = image.section("__objc_imageinfo");
    if (!info) {
        if (selectors && selectors->size) {
            throw LoadError("the library has selector references but no __objc_imageinfo: the runtime would "
                            "leave them unfixed");
        }
        return;
    }
    uint32_t version = 0;
    processor.read(info->address + slide, &version, 4);
    if (info->size < 8 || version != 0) {
        throw LoadError("the library's Objective-C image info is of an unknown version");
    }
    if (!selectors) {
        return;
    }
    unsigned pointer = processor.pointerSize();
    for (uint64_t at = selectors->address + slide;
         at + pointer <= selectors->address + slide + selectors->size; at += pointer) {
        uint64_t name = processor.readPointer(at);
        processor.writePointer(at, bridge.selector(processor.readCString(name)));
    }
}

void runInitializers(const macho::Image &image, Processor &processor, Bridge &bridge, uint64_t slide,
                     const std::string &executablePath) {
    // dyld's initializer arguments: argc, argv, envp, apple and the program's variables.
    unsigned pointer = processor.pointerSize();
    uint64_t block = bridge.heap().allocate(4 * pointer + executablePath.size() + 1);
    uint64_t path = block + 4 * pointer;
    processor.write(path, executablePath.c_str(), executablePath.size() + 1);
    processor.writePointer(block, path); // argv[0]; argv[1], envp[0] and apple[0] stay null
    std::vector<uint64_t> arguments = {1, block, block + 2 * pointer, block + 3 * pointer, 0};

    bool authenticated = processor.authenticates();
    for (const macho::Section *section : image.sectionsWithType(macho::sectionModInitPointers)) {
        for (uint64_t at = section->address; at + pointer <= section->address + section->size;
             at += pointer) {
            // On arm64e each entry is an authenticated rebase, called with blraaz.
            processor.call(processor.readPointer(at + slide), arguments, authenticated);
        }
    }
    for (const macho::Section *section : image.sectionsWithType(macho::sectionInitOffsets)) {
        for (uint64_t at = section->address; at + 4 <= section->address + section->size; at += 4) {
            uint32_t offset = 0;
            processor.read(at + slide, &offset, 4);
            uint64_t function = image.base() + slide + offset;
            const macho::Segment *text = nullptr;
            for (const macho::Segment &segment : image.segments) {
                if (function - slide >= segment.address &&
                    function - slide < segment.address + segment.size &&
                    (segment.protection & protectionExecute)) {
                    text = &segment;
                }
            }
            if (!text) {
                throw LoadError("an initializer offset points outside the library's code");
            }
            // dyld signs each one itself (IA, no discriminator) before it calls it.
            processor.call(authenticated ? processor.sign(function, Key::IA, 0) : function, arguments,
                           authenticated);
        }
    }
}

} // namespace

LoadedImage loadImage(const macho::Image &image, Processor &processor, Bridge &bridge,
                      const std::string &executablePath) {
    uint64_t page = macho::is64Bit(image.arch) ? 0x4000 : 0x1000;
    uint64_t base = chooseBase(image, page);
    uint64_t slide = base - image.base();

    uint64_t codeBegin = UINT64_MAX;
    uint64_t codeEnd = 0;
    for (const macho::Segment &segment : image.segments) {
        if (segment.protection & protectionExecute) {
            codeBegin = std::min(codeBegin, segment.address + slide);
            codeEnd = std::max(codeEnd, segment.address + slide + segment.size);
        }
    }
    processor.countInstructionsIn(codeBegin, codeEnd);
    processor.describeImage(base, image.end() + slide);

    mapSegments(image, processor, slide);
    applyFixups(image, processor, bridge, slide);
    setUpObjectiveC(image, processor, bridge, slide);
    bridge.nameFrom(image, slide);
    runInitializers(image, processor, bridge, slide, executablePath);
    return {base, slide};
}

} // namespace emulator
