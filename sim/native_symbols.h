// Names an address of a native library from that library's own symbol table, as a debugger
// does: the library is loaded with its symbols hidden from the dynamic table, so dladdr alone
// cannot.
#pragma once

#include <string>

namespace sim {

// The symbol defined at `address` in the ELF object mapped there, or empty.
std::string nativeSymbolAt(const void *address);

} // namespace sim
