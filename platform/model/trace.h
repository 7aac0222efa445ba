// The platform calls the library makes, recorded as text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/objects.h"

namespace model {

// The platform calls the library makes, as text, in the order made: C calls as `name(args)`,
// messages as `-[Kind selector:argument]`. Off until enabled; kept until taken.
namespace trace {
void enable(bool on);
bool enabled();
void record(std::string call);
std::vector<std::string> take();

// How an argument reads in a call.
std::string object(PlatformId object);
std::string selector(PlatformSel selector);
// `function(argument, ...)`
std::string call(const char *function, const std::vector<std::string> &arguments);
// `-[Kind selector:argument ...]`, `+[Class selector]` for a class, `-[nil selector]`.
std::string message(PlatformId receiver, PlatformSel selector, const std::vector<std::string> &arguments);
} // namespace trace

} // namespace model
