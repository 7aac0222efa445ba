#include "sim/outcome.h"

#include "emulator/failures.h"
#include "emulator/macho/image.h"
#include "platform/model/model.h"
#include "sim/command_line.h"

namespace sim {

Outcome outcomeOf(const std::exception_ptr &error, bool loading) {
    try {
        std::rethrow_exception(error);
    } catch (const InputError &failure) {
        return {badInput, failure.what(), false};
    } catch (const model::HostException &failure) {
        // A host method that raises while the library loads takes SpringBoard down with it.
        return loading
                   ? Outcome{crashed,
                             std::string("the host raised while the library loaded: ") + failure.what(), true}
                   : Outcome{badInput, std::string("the host raised: ") + failure.what(), false};
    } catch (const emulator::Limit &failure) {
        return {emulatorLimit,
                std::string(loading ? "the emulator cannot run this library: "
                                    : "the emulator cannot run this: ") +
                    failure.what(),
                true};
    } catch (const emulator::Fault &failure) {
        return {crashed,
                std::string(loading ? "the library crashed while loading: " : "the library crashed: ") +
                    failure.what(),
                true};
    } catch (const std::exception &failure) {
        return {ownFailure, std::string("the simulator failed: ") + failure.what(), true};
    } catch (...) {
        return {ownFailure, "the simulator failed with an exception of no known kind", true};
    }
}

} // namespace sim
