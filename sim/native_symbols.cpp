#include "sim/native_symbols.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace sim {
namespace {

// A copy of `T` from `bytes` at `offset`, when it lies inside.
template <typename T> bool readAt(const std::string &bytes, uint64_t offset, T &value) {
    if (offset > bytes.size() || sizeof(T) > bytes.size() - offset) {
        return false;
    }
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

// Every symbol the file's .symtab defines, by its address relative to the file's load base.
std::map<uint64_t, std::string> definedSymbols(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::map<uint64_t, std::string> found;
    Elf64_Ehdr header;
    if (!readAt(bytes, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        return found;
    }
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr table, strings;
        if (!readAt(bytes, header.e_shoff + uint64_t(i) * sizeof(Elf64_Shdr), table) ||
            table.sh_type != SHT_SYMTAB ||
            !readAt(bytes, header.e_shoff + uint64_t(table.sh_link) * sizeof(Elf64_Shdr), strings)) {
            continue;
        }
        for (uint64_t at = table.sh_offset; at + sizeof(Elf64_Sym) <= table.sh_offset + table.sh_size;
             at += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            if (!readAt(bytes, at, symbol) || symbol.st_shndx == SHN_UNDEF ||
                symbol.st_name >= strings.sh_size || strings.sh_offset + symbol.st_name >= bytes.size()) {
                continue;
            }
            found.emplace(symbol.st_value, bytes.c_str() + strings.sh_offset + symbol.st_name);
        }
    }
    return found;
}

} // namespace

std::string nativeSymbolAt(const void *address) {
    Dl_info info;
    if (!dladdr(address, &info) || !info.dli_fname) {
        return "";
    }
    static std::mutex lock;
    static std::map<std::string, std::map<uint64_t, std::string>> files;
    std::lock_guard guard(lock);
    auto file = files.find(info.dli_fname);
    if (file == files.end()) {
        file = files.emplace(info.dli_fname, definedSymbols(info.dli_fname)).first;
    }
    uint64_t offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(info.dli_fbase);
    auto symbol = file->second.find(offset);
    return symbol == file->second.end() ? "" : symbol->second;
}

} // namespace sim
