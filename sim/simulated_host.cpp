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

// Registering on the network, the host hands its telephony classes the operator's name: the full
// host both of them, a release's host as that release's own code does.
void SimulatedHost::registerOnNetwork(const std::string &operatorName) {
    model::AutoreleasePool pool;
    model::Ref name = model::Ref::adopt(model::makeString(operatorName));
    PlatformId context = objectNamed("subscription");
    const springboard::Era *era = springboard::installedHost().era;
    if (!era) {
        for (const char *cls : {springboard::manager, springboard::provider}) {
            model::send(springboard::instance(cls),
                        "_reallySetOperatorName:inSubscriptionContext:", name.get(), context);
        }
    } else if (!era->setsName.cls) {
        springboard::setOperatorNameDirectly(name.get());
    } else if (std::string_view(era->setsName.selector).ends_with("inSubscriptionContext:")) {
        model::send(springboard::instance(era->setsName.cls), era->setsName.selector, name.get(), context);
    } else {
        model::send(springboard::instance(era->setsName.cls), era->setsName.selector, name.get());
    }
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

Value SimulatedHost::describe(PlatformId object) const {
    if (!object) {
        return {Value::Kind::nil, ""};
    }
    if (std::optional<std::string> text = model::stringValue(object)) {
        return {Value::Kind::text, *text};
    }
    std::string shown = model::object(object)->describe();
    if (!shown.empty() && shown[0] == '@') {
        return {Value::Kind::object, shown.substr(1)};
    }
    if (shown == "YES" || shown == "NO") {
        return {shown == "YES" ? Value::Kind::yes : Value::Kind::no, ""};
    }
    try {
        return {Value::Kind::integer, "", std::stoll(shown)};
    } catch (const std::exception &) {
        return {Value::Kind::object, shown};
    }
}

StatusBar SimulatedHost::statusBar() {
    model::AutoreleasePool pool;
    StatusBar bar;
    // A piece of no class the host has is absent.
    auto piece = [&](const std::optional<springboard::StoredName> &stored) {
        // In JSON a piece that is not a name is an object, so no operator's name reads as one.
        if (!stored) {
            return StatusBar::Piece{"absent", Json{{"absent", true}}, std::nullopt};
        }
        if (!stored->received) {
            return StatusBar::Piece{"unset", Json{{"unset", true}}, std::nullopt};
        }
        Value value = describe(stored->name);
        std::optional<std::string> text = model::stringValue(stored->name);
        return StatusBar::Piece{value.kind == Value::Kind::nil ? "none" : formatValue(value), toJson(value),
                                text};
    };
    // Where the host has no method of its own for a piece, a release's host makes it in code the
    // runtime never dispatches; the full host has no such code, and the piece is absent.
    const springboard::Host &host = springboard::installedHost();
    const springboard::Era &shape = host.shape();
    auto through = [&](const char *cls, const char *selector) {
        return cls && host.hasMethod(cls, selector) ? springboard::instance(cls) : nullptr;
    };
    auto nameOf = [&](const char *cls) {
        return springboard::instance(cls) ? std::optional(springboard::lastOperatorName(cls)) : std::nullopt;
    };
    bar.carrier = piece(nameOf(shape.shownFrom));
    // The provider's name: its own on the full host; from 13 the one it hands the status bar.
    bar.providerCarrier = piece(springboard::instance(springboard::provider)
                                    ? nameOf(host.era ? shape.shownFrom : springboard::provider)
                                    : std::nullopt);

    model::Ref simState = model::Ref::adopt(model::makeString(springboard::simCardState(simCard_).status));
    std::optional<springboard::StoredName> sim;
    // From 16 the data provider makes the carrier's place itself, in SpringBoard alone.
    bool providerMakesIt = shape.looksUpTexts && springboard::instance(springboard::domainDataProvider);
    if (providerMakesIt) {
        sim = {true, springboard::lookedUpSIMText()};
    } else if (PlatformId source = through(shape.simTextFrom, "_displayStringForSIMStatus:")) {
        sim = {true, model::send<PlatformId>(source, "_displayStringForSIMStatus:", simState.get())};
    } else if (host.era && !shape.looksUpTexts) {
        sim = {true, springboard::simStatusTextDirectly(simState.get())};
    }
    bar.sim = piece(sim);

    PlatformId radio = through(shape.radioFrom, "isRadioModuleDead");
    bool dead = radio && model::send<PlatformBool>(radio, "isRadioModuleDead");
    bar.radio = !radio && !host.era ? "absent" : dead ? "dead" : "on";
    PlatformId data = through(shape.dualSIMFrom, "isDualSIMEnabled");
    bool dual = data && model::send<PlatformBool>(data, "isDualSIMEnabled");
    bar.dualSIM = !data && !host.era ? "absent" : dual ? "on" : "off";

    // In the carrier's place a phone shows the SIM-status text while the card is not ready, and
    // "No Service" while the radio is off the network.
    bar.simCard = springboard::simCardState(simCard_).name;
    if (shape.looksUpTexts) {
        bar.shown = piece(
            providerMakesIt ? std::optional(springboard::StoredName{true, springboard::serviceDescription()})
                            : std::nullopt);
    } else if (simCard_ != springboard::SimCard::ready) {
        bar.shown = bar.sim;
    } else if (dead) {
        bar.shown = {"\"No Service\"", "No Service", "No Service"};
    } else {
        bar.shown = bar.carrier;
    }
    bar.ios = host.version ? host.version->major : 0;
    return bar;
}

} // namespace sim
