// What a release's own code does beyond the methods the runtime dispatches: the direct methods,
// registering on the network, and what the status bar reads.
#include <string_view>

#include "springboard/dispatch.h"
#include "springboard/springboard.h"

namespace springboard {

// [NSBundle bundleForClass:<the status-bar data provider's class>]: where its texts are.
PlatformId dataProviderBundle() {
    const Runtime &runtime = hostRuntime();
    auto providerClass = reinterpret_cast<PlatformClass>(runtime.classNamed(domainDataProvider));
    return message<PlatformId>(runtime.classNamed(bundle), sel::bundleForClass, providerClass);
}

void setOperatorNameDirectly(PlatformId name) {
    // The direct setters are the provider's: without it nothing hands the name on.
    PlatformId info = instance(mutableSubscriptionInfo);
    if (!info || !instance(provider)) {
        return;
    }
    PlatformId current = message<PlatformId>(info, sel::operatorName);
    // A message to nil answers NO: no name is always news.
    if (!name || !message<PlatformBool>(name, sel::isEqualToString, current)) {
        message<void>(info, sel::setOperatorName, name);
    }
}

namespace {

// The SIM key the data provider picks for a CoreTelephony status, or null.
const char *simKeyOf(PlatformId status) {
    std::string described = status ? hostRuntime().describe(status) : "";
    for (const SimCardState &card : simCards) {
        if (described == card.status) {
            return card.key;
        }
    }
    return nullptr;
}

// [[NSBundle bundleForClass:<the data provider's class>] localizedStringForKey:KEY value:@""
// table:@"SystemStatusServer-Telephony"], as the data provider asks.
PlatformId telephonyText(const char *key) {
    const Runtime &runtime = hostRuntime();
    return message<PlatformId>(dataProviderBundle(), sel::lookUpText, runtime.autoreleasedString(key),
                               runtime.autoreleasedString(""), runtime.autoreleasedString(telephonyTable));
}

// CoreTelephony's registration: 2 registered, 3 no service (the radio off), 0 searching.
enum Registration { searching = 0, registered = 2, noService = 3 };

} // namespace

PlatformId serviceDescription() {
    PlatformId stateProvider = instance(provider);
    PlatformId info = instance(mutableSubscriptionInfo);
    // The simulator's card never registers without being ready, and is never emergency-only.
    Registration registration = message<PlatformBool>(stateProvider, sel::isRadioModuleDead) ? noService
                                : currentCard() == SimCard::ready                            ? registered
                                                                                             : searching;
    if (registration == registered) {
        return message<PlatformId>(info, sel::operatorName);
    }
    const char *simKey = simKeyOf(message<PlatformId>(info, sel::simStatus));
    const char *second = registration == noService ? "NO_SERVICE" : "SEARCHING";
    bool locked = simKey && std::string_view(simKey) == "LOCKED_SIM";
    if (locked || message<PlatformBool>(stateProvider, sel::needsUserIdentificationModule)) {
        return telephonyText(simKey ? simKey : second);
    }
    return telephonyText(second);
}

PlatformId lookedUpSIMText() {
    const char *simKey = simKeyOf(message<PlatformId>(instance(mutableSubscriptionInfo), sel::simStatus));
    return simKey ? telephonyText(simKey) : nullptr;
}

namespace {

bool takesContext(const char *selector) {
    return std::string_view(selector) == sel::reallySetOperatorNameInContext ||
           std::string_view(selector) == sel::setOperatorNameInContext;
}

} // namespace

void registerOnNetwork(PlatformId name, PlatformId context) {
    const Era *era = installedHost().era;
    if (!era) {
        for (const char *cls : {manager, provider}) {
            message<void>(instance(cls), sel::reallySetOperatorNameInContext, name, context);
        }
    } else if (!era->setsName.cls) {
        setOperatorNameDirectly(name);
    } else if (takesContext(era->setsName.selector)) {
        message<void>(instance(era->setsName.cls), era->setsName.selector, name, context);
    } else {
        message<void>(instance(era->setsName.cls), era->setsName.selector, name);
    }
}

namespace {

Piece pieceOf(const std::optional<StoredName> &stored) {
    if (!stored) {
        return {Piece::State::absent};
    }
    return stored->received ? Piece{Piece::State::held, stored->name} : Piece{Piece::State::unset};
}

} // namespace

StatusBarReading readStatusBar() {
    const Host &host = installedHost();
    const Era &shape = host.shape();
    // Where the host has no method of its own for a piece, a release's host makes it in code the
    // runtime never dispatches; the full host has no such code, and the piece is absent.
    auto through = [&](const char *cls, const char *selector) {
        return cls && host.hasMethod(cls, selector) ? instance(cls) : nullptr;
    };
    auto nameOf = [&](const char *cls) {
        return instance(cls) ? std::optional(lastOperatorName(cls)) : std::nullopt;
    };
    StatusBarReading bar;
    bar.carrier = pieceOf(nameOf(shape.shownFrom));
    // The provider's name: its own on the full host; from 13 the one it hands the status bar.
    bar.providerCarrier =
        pieceOf(instance(provider) ? nameOf(host.era ? shape.shownFrom : provider) : std::nullopt);

    // From 16 the data provider makes the carrier's place itself, in SpringBoard alone.
    bool providerMakesIt = shape.looksUpTexts && instance(domainDataProvider);
    PlatformId status = hostRuntime().autoreleasedString(simCardState(currentCard()).status);
    if (providerMakesIt) {
        bar.sim = {Piece::State::held, lookedUpSIMText()};
    } else if (PlatformId source = through(shape.simTextFrom, sel::displayStringForSIMStatus)) {
        bar.sim = {Piece::State::held, message<PlatformId>(source, sel::displayStringForSIMStatus, status)};
    } else if (host.era && !shape.looksUpTexts) {
        bar.sim = {Piece::State::held, simStatusTextDirectly(status)};
    }

    PlatformId radio = through(shape.radioFrom, sel::isRadioModuleDead);
    bool dead = radio && message<PlatformBool>(radio, sel::isRadioModuleDead);
    bar.radio = !radio && !host.era ? Radio::absent : dead ? Radio::dead : Radio::on;
    PlatformId data = through(shape.dualSIMFrom, sel::isDualSIMEnabled);
    bool dual = data && message<PlatformBool>(data, sel::isDualSIMEnabled);
    bar.dualSIM = !data && !host.era ? Switch::absent : dual ? Switch::on : Switch::off;

    // In the carrier's place a phone shows the SIM-status text while the card is not ready, and
    // "No Service" while the radio is off the network.
    if (shape.looksUpTexts) {
        bar.shown =
            providerMakesIt ? Piece{Piece::State::held, serviceDescription()} : Piece{Piece::State::absent};
    } else if (currentCard() != SimCard::ready) {
        bar.shown = bar.sim;
    } else if (dead) {
        bar.shown = {Piece::State::held, hostRuntime().autoreleasedString("No Service")};
    } else {
        bar.shown = bar.carrier;
    }
    return bar;
}

} // namespace springboard
