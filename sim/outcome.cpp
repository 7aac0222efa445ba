#include "sim/outcome.h"

#include "emulator/failures.h"
#include "platform/model/failures.h"
#include "sim/failures.h"

namespace sim {

Outcome outcomeOf(const std::exception_ptr &error, bool loading) {
    try {
        std::rethrow_exception(error);
    } catch (const InputError &failure) {
        return {badInput, failure.what(), false};
    } catch (const emulator::macho::NotForThisSystem &failure) {
        return {badInput, std::string("cannot load the library on ") + failure.what(), false};
    } catch (const emulator::macho::NoSliceChosen &failure) {
        return {badInput,
                std::string("cannot load the library: ") + failure.what() +
                    "; choose one with --arch, or the phone with --phone",
                false};
    } catch (const emulator::macho::LoadError &failure) {
        return {badInput, std::string("cannot load the library: ") + failure.what(), false};
    } catch (const model::HostException &failure) {
        // A host method that raises while the library loads takes SpringBoard down with it.
        return loading
                   ? Outcome{crashed,
                             std::string("the host raised while the library loaded: ") + failure.what(), true}
                   : Outcome{badInput, std::string("the host raised: ") + failure.what(), false};
    } catch (const model::LibraryCrash &failure) {
        return {crashed,
                std::string(loading ? "the library crashed while loading: " : "the library crashed: ") +
                    failure.what(),
                true};
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
