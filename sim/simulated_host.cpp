#include "sim/simulated_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>

#include "emulator/emulated_library.h"
#include "library/settings/preferences.h"
#include "platform/model/model.h"
#include "sim/native_symbols.h"
#include "sim/preference_file.h"
#include "springboard/model_runtime.h"
#include "springboard/springboard.h"

namespace sim {
namespace {

std::string libraryFailure() {
    const char *error = dlerror();
    return error ? error : "unknown error";
}

// The release as the loader reads a system's version, packed as Mach-O packs one.
std::optional<uint32_t> packedSystem(const std::optional<springboard::Version> &release) {
    if (!release) {
        return std::nullopt;
    }
    return uint32_t(release->major) << 16 | uint32_t(release->minor) << 8 | uint32_t(release->patch);
}

} // namespace

SimulatedHost::SimulatedHost(const Options &options, const std::string &libraryPath,
                             const std::filesystem::path &paneFile)
    : pane_(loadPane(paneFile)) {
    std::error_code failed;
    if (!std::filesystem::is_directory(options.root, failed) ||
        access(options.root.c_str(), R_OK | X_OK) != 0) {
        throw InputError("cannot read the device root " + options.root.string());
    }
    model::setDeviceRoot(std::filesystem::absolute(options.root));
    preferenceFile_ = model::devicePath(BRINDLEWICK_ROOTFUL_PREFERENCE_PATH);
    model::ProcessSetup process;
    process.hasProcessInfo = !options.noProcessInfo;
    if (!options.noProcessName) {
        process.processName = options.processName;
    }
    process.classFindableByName = !options.noProcessInfoClass;
    if (!options.noArguments) {
        process.arguments = {options.executable};
    }
    model::setProcess(process);
    simCard_ = options.simCard;
    arch_ = options.arch;
    takePhone(options);
    if (options.useInterfaces || options.noInterfaces) {
        useInterfaces(options.interfaces, options.noInterfaces);
    }
    springboard::installOnModel(options.withoutClasses, true,
                                springboard::hostOf(options.ios, hostIsSpringBoard(options)));
    springboard::setSimCard(options.simCard);
    for (const auto &[cls, selector] : options.raising) {
        springboard::setRaising(cls, selector, true);
    }

    model::trace::enable(options.trace);
    loader_ = options.library.empty() ? tweakFolderOf(options.root) : std::nullopt;
    if (options.noLibrary && !options.library.empty()) {
        throw InputError("--no-library runs the host alone: --library has nothing to load");
    } else if (!options.noLibrary && loader_) {
        loadTweaks(*loader_, options, packedSystem(options.ios));
    } else if (!options.noLibrary) {
        load(options.library.empty() ? libraryPath : options.library, options, packedSystem(options.ios));
    }
    operatorName_ = options.operatorName;
    libraryLoaded_ = native_ || !emulated_.empty();
    registerOnNetwork(options.operatorName);
}

// The libraries the process has mapped, as the loader keeps its list: a library outlives the
// host that loaded it (see the header). native_ stays with dlopen's own list.
static std::vector<std::unique_ptr<emulator::EmulatedLibrary>> &mappedLibraries() {
    static auto *mapped = new std::vector<std::unique_ptr<emulator::EmulatedLibrary>>;
    return *mapped;
}

SimulatedHost::~SimulatedHost() {
    for (auto &library : emulated_) {
        mappedLibraries().push_back(std::move(library));
    }
}

std::vector<std::string> SimulatedHost::fileWarnings() {
    model::FileProblems problems = model::fileProblems();
    if (problems.count == fileProblemsSeen_) {
        return {};
    }
    fileProblemsSeen_ = problems.count;
    return {"the library read " + model::devicePath(problems.file.c_str()).string() +
            " as no file, as a device's Foundation does (every flag off, the texts kept): " + problems.why};
}

void SimulatedHost::takePhone(const Options &options) {
    if (!options.phone) {
        return;
    }
    phone_ = PackageFacts::ofThisBuild().phone(*options.phone);
    if (options.ios && !phone_->ran(*options.ios)) {
        throw InputError("the " + phone_->model + " runs " + phone_->releases() + ", not " +
                         springboard::releaseName(*options.ios).substr(4));
    }
    if (options.arch && *options.arch != phone_->slice) {
        throw InputError("--arch " + *options.arch + " is not the slice the " + phone_->model + "'s A" +
                         std::to_string(phone_->chip) + " takes, " + phone_->slice);
    }
    arch_ = phone_->slice;
}

void SimulatedHost::registerOnNetwork(const std::string &operatorName) {
    model::AutoreleasePool pool;
    model::Ref name = model::Ref::adopt(model::makeString(operatorName));
    springboard::registerOnNetwork(name.get(), objectNamed("subscription"));
}

// As the loader maps a library into a starting process: a native one with dlopen, a device one
// under emulation. Either way its initializer has run when this returns.
void SimulatedHost::load(const std::string &given, const Options &options, std::optional<uint32_t> system) {
    // A name without a folder is the file in the current one, not one the system's search path finds.
    std::string path = given.find('/') == std::string::npos ? "./" + given : given;
    std::optional<std::string> start = readRegularFile(path, 4);
    if (!start || start->size() < 4) {
        throw InputError("cannot read the library " + path);
    }
    if (!emulator::looksLikeMachO(*start)) {
        // Without a library named, --arch and --phone name the processor package answers for.
        if (options.arch && !options.library.empty()) {
            throw InputError("--arch picks a slice of a Mach-O device library, and " + path + " is none");
        }
        // The facility's records name each slot from the library's symbols, as they are made.
        model::setSymbolNamer(&nativeSymbolAt);
        native_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!native_) {
            throw InputError("cannot load the library: " + libraryFailure());
        }
        model::rethrowDeferredFailure(); // a crash of its initializer's, which could not unwind through
                                         // dlopen
        return;
    }
    loadDeviceLibrary(path, options, system);
}

void SimulatedHost::loadDeviceLibrary(const std::string &path, const Options &options,
                                      std::optional<uint32_t> system) {
    std::optional<emulator::macho::Arch> arch;
    if (arch_) {
        arch = emulator::macho::archNamed(*arch_);
    }
    emulated_.push_back(std::make_unique<emulator::EmulatedLibrary>(path, arch, options.executable, system));
}

void SimulatedHost::loadTweaks(const TweakFolder &folder, const Options &options,
                               std::optional<uint32_t> system) {
    LoadingProcess process;
    // SpringBoard and every app link UIKit; SpringBoard's own bundle is com.apple.springboard.
    if (hostIsSpringBoard(options)) {
        process.bundles = {"com.apple.springboard", "com.apple.UIKit"};
    } else if (options.executable.find(".app/") != std::string::npos) {
        process.bundles = {"com.apple.UIKit"};
    }
    process.executable = std::filesystem::path(options.executable).filename().string();
    process.hasClass = [](const std::string &name) { return model::findClass(name) != nullptr; };
    process.coreFoundation = springboard::installedHost().coreFoundationVersion();
    tweaks_ = tweaksFor(folder, process);
    for (const Tweak &tweak : tweaks_) {
        if (!tweak.loads) {
            continue;
        }
        std::optional<std::string> start = readRegularFile(tweak.library, 4);
        if (!start || !emulator::looksLikeMachO(*start)) {
            throw InputError("cannot load " + tweak.library.string() + ": it is no device library");
        }
        loadDeviceLibrary(tweak.library.string(), options, system);
    }
}

PlatformId SimulatedHost::objectNamed(const std::string &name) {
    auto found = objects_.find(name);
    if (found == objects_.end()) {
        found = objects_.emplace(name, model::Ref::adopt(model::makeToken(name))).first;
    }
    return found->second.get();
}

PlatformId SimulatedHost::toObject(const Value &value) {
    switch (value.kind) {
    case Value::Kind::text:
        made_.push_back(model::Ref::adopt(model::makeString(value.text)));
        return made_.back().get();
    case Value::Kind::integer:
        made_.push_back(model::Ref::adopt(model::makeInteger(value.integer)));
        return made_.back().get();
    case Value::Kind::nil:
        return nullptr;
    case Value::Kind::object:
        return objectNamed(value.text);
    default:
        throw InputError("expected \"text\", nil, an integer or @NAME, not " + formatValue(value));
    }
}

Value valueOf(PlatformId object) {
    model::KindOf found = model::kindOf(object);
    switch (found.kind) {
    case model::KindOf::Kind::nil:
        return {Value::Kind::nil, ""};
    case model::KindOf::Kind::string:
        return {Value::Kind::text, found.text};
    case model::KindOf::Kind::boolean:
        return {found.integer ? Value::Kind::yes : Value::Kind::no, ""};
    case model::KindOf::Kind::integer:
        return {Value::Kind::integer, "", found.integer};
    case model::KindOf::Kind::token:
    case model::KindOf::Kind::other:
        break;
    }
    return {Value::Kind::object, found.text};
}

namespace {

// A piece as `status` prints it, as JSON, and the text drawn. In JSON a piece that is not a name is
// an object, so no operator's name reads as one.
StatusBar::Piece rendered(const springboard::Piece &piece) {
    switch (piece.state) {
    case springboard::Piece::State::absent:
        return {"absent", Json{{"absent", true}}, std::nullopt};
    case springboard::Piece::State::unset:
        return {"unset", Json{{"unset", true}}, std::nullopt};
    case springboard::Piece::State::held:
        break;
    }
    Value value = valueOf(piece.value);
    return {value.kind == Value::Kind::nil ? "none" : formatValue(value), toJson(value),
            model::stringValue(piece.value)};
}

} // namespace

StatusBar SimulatedHost::statusBar() {
    model::AutoreleasePool pool;
    springboard::StatusBarReading read = springboard::readStatusBar();
    static const char *const radios[] = {"absent", "on", "dead"};
    static const char *const switches[] = {"absent", "off", "on"};
    const springboard::Host &host = springboard::installedHost();
    return StatusBar{rendered(read.carrier),
                     rendered(read.providerCarrier),
                     rendered(read.sim),
                     radios[static_cast<int>(read.radio)],
                     switches[static_cast<int>(read.dualSIM)],
                     springboard::simCardState(simCard_).name,
                     rendered(read.shown),
                     host.version ? host.version->major : 0};
}

} // namespace sim
