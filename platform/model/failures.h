// How the model platform fails, in the kinds its callers keep apart.
#pragma once

#include <stdexcept>

namespace model {

// A host method raised, as the host's own code may: it reaches the host's caller through whatever
// called the method, the library's replacements included.
class HostException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The platform refused a message or a call: an unrecognized selector, an argument of a kind the
// method takes none of, a nil it cannot take, an object released once too often. On a device it
// raises, and no caller of the library's catches it.
class PlatformRefusal : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The platform refused what the library itself sent: on a device that ends the host process, as a
// crash of the library's own.
class LibraryCrash : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace model
