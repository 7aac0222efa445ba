// The host: a simulated SpringBoard's telephony and status-bar classes, one instance of each,
// whose own implementations record what they receive and answer simply.
//
//   setters of the operator name     record the name (and context) and keep it as the operator's
//   operatorName                     what the subscription information's setter last kept
//   _displayStringForSIMStatus:      "SIM <status>"
//   isRadioModuleDead                NO, unless set otherwise
//   _otherSIMInfoIfSIMPresent:       the host's own object @host-sim-info
//   isDualSIMEnabled                 what setDualSIMEnabled: last stored there, NO at first
//   setCachedDualSIMEnabled:, setDualSIMEnabled:   record and store the value
//
// Defined once, and installed into whichever runtime the library runs on: the model platform's
// (model_runtime.cpp) or GCC's Objective-C runtime under GNUstep (the GNUstep tests).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/objects.h"
#include "springboard/classes.h"
#include "springboard/releases.h"

namespace springboard {

// What the host needs of the runtime its classes live in.
struct Runtime {
    struct Method {
        const char *selector;
        PlatformImp imp;
        const char *types; // the platform's type encoding
    };
    // Defines a class with these methods and returns its one instance (owned by the host).
    PlatformId (*defineClass)(const char *name, const char *superclass, const std::vector<Method> &methods);
    PlatformId (*retain)(PlatformId object);
    void (*release)(PlatformId object);
    PlatformId (*autoreleasedString)(const std::string &utf8);
    // A plain object of the host's own, and how an object reads in "SIM <status>".
    PlatformId (*makeObject)(const char *name);
    std::string (*describe)(PlatformId object);
    const char *(*selectorName)(PlatformSel selector);
    // Message dispatch, for a host method that sends a message of its own, and the class object a
    // message to a class goes to (null where the runtime has no such class).
    PlatformSel (*selector)(const char *name);
    PlatformId (*classNamed)(const char *name);
    PlatformImp (*lookUp)(PlatformId receiver, PlatformSel selector);
    void (*raise)(const std::string &message); // never returns
    // After the host's own code calls an implementation directly: raises a failure the runtime
    // deferred on the way (see model::deferFailure); null where none is ever deferred.
    void (*rethrowDeferred)();
};

// A method the host's classes answer: the class it is sent to, its selector and types, and the
// class whose own implementation runs (a subclass inherits some).
struct HostMethod {
    const char *cls;
    const char *selector;
    const char *types;
    const char *implementer;
};
const std::vector<HostMethod> &methods();

// Defines the classes `host` has, except those it is to lack, with the methods it has, and makes
// their instances. With `recording` false the implementations only answer, for measurements of
// the library alone.
void install(const Runtime &runtime, const std::vector<std::string> &withoutClasses = {},
             bool recording = true, const Host &host = {});

// The SIM card's states: as --sim and status name them, as CoreTelephony names them to the status
// bar, the text the host's own _displayStringForSIMStatus: makes of each, and the key of the SIM
// text SystemStatusServer's telephony table holds for it from iOS 16 (none for a ready card). A
// phone shows that text in the carrier's place only when the card is not ready. Which status gives
// the third SIM key, BAD_SIM, is not known; none of these does.
enum class SimCard { ready, absent, locked };
struct SimCardState {
    SimCard card;
    const char *name;
    const char *status;
    const char *text;
    const char *key;
};
inline constexpr SimCardState simCards[] = {
    {SimCard::ready, "ready", "kCTSIMSupportSIMStatusReady", "SIM Ready", nullptr},
    {SimCard::absent, "absent", "kCTSIMSupportSIMStatusNotInserted", "No SIM", "NO_SIM"},
    {SimCard::locked, "locked", "kCTSIMSupportSIMStatusPINLocked", "SIM Locked", "LOCKED_SIM"},
};
static_assert(simCards[0].card == SimCard::ready && simCards[1].card == SimCard::absent &&
                  simCards[2].card == SimCard::locked,
              "simCardState finds a card's row by its number");
inline constexpr const SimCardState &simCardState(SimCard card) {
    return simCards[static_cast<int>(card)];
}

// SystemStatusServer's table of the texts the status bar shows for a SIM from iOS 16, in English,
// which its status-bar data provider looks up in its own bundle.
inline constexpr char telephonyTable[] = "SystemStatusServer-Telephony";
struct TelephonyText {
    const char *key;
    const char *text;
};
inline constexpr TelephonyText telephonyTexts[] = {
    {"NO_SIM", "No SIM"},       {"BAD_SIM", "Invalid SIM"},    {"LOCKED_SIM", "SIM Locked"},
    {"SOS_ONLY", "SOS only"},   {"SEARCHING", "Searching..."}, {"NO_SERVICE", "No Service"},
    {"SATELLITE", "Satellite"},
};

// The card the phone holds, as CoreTelephony reports it to the host's classes (ready at first).
void setSimCard(SimCard card);

// The host as installed.
const Host &installedHost();

// The host's instance of a class, or null when the host lacks it.
PlatformId instance(const std::string &className);

struct Argument {
    bool isObject;
    PlatformId object;          // when isObject
    PlatformBool truth;         // otherwise
    std::shared_ptr<void> held; // a copy handed out keeps its object alive, whatever the host does next
};

// How often the host's own implementation of a method ran, and what it last received. The method
// is named by the class that defines it, whichever instance received the message.
long timesEntered(const std::string &className, const std::string &selector);
std::vector<Argument> lastArguments(const std::string &className, const std::string &selector);
// Forgets, and lets go of, everything the host recorded, the stored operator names included.
void clearLog();

// The operator name the host last stored on `className`, through any of its name setters.
struct StoredName {
    bool received;
    PlatformId name; // held by the host until the next name arrives
};
StoredName lastOperatorName(const std::string &className);

// What a release's own code does where the runtime has none of these methods. From iOS 16 the
// provider's operator-name setters are direct methods, which no replacement reaches: as 26's
// decompilation shows, the inner one reads the name the subscription information holds and,
// only when isEqualToString: says the new one differs, sends it setOperatorName:, an ordinary
// method. The host's one subscription information stands for [context subscriptionInfo].
void setOperatorNameDirectly(PlatformId name);
// The SIM-status text as the host's own method would make it.
PlatformId simStatusTextDirectly(PlatformId status);
// From iOS 16 the status-bar data provider makes what stands in the carrier's place itself, in a
// direct method, out of messages (18.0, 18.2 and 26.1 decompiled; 16 and 17 taken as them), and
// publishes it as the SIM's service description. For what the simulator sets: with the card ready
// and the radio alive, the subscription information's operator name; with no usable card, the SIM
// text its table holds for the card's status; with the radio reported dead and the card ready,
// "No Service". Every text comes through the localized-text lookup, by message.
PlatformId serviceDescription();
// The SIM-status text the same method looks up for the card's status, or null where it has none.
PlatformId lookedUpSIMText();

// Registering on the network, the host hands its telephony classes the operator's name: the full
// host both of them, a release's host as that release's own code does. `context` is the
// subscription context the setters that take one receive.
void registerOnNetwork(PlatformId name, PlatformId context);

// What the status bar reads, piece by piece. A piece is absent where the host has no class for
// it, unset where its class has received nothing yet, else held: the name or text (null: none),
// alive until the caller's autorelease pool drains or the host's next name arrives.
struct Piece {
    enum class State { absent, unset, held } state = State::absent;
    PlatformId value = nullptr;
};
enum class Radio { absent, on, dead };
enum class Switch { absent, off, on };
struct StatusBarReading {
    Piece carrier;         // the operator name of the class the status bar shows it from
    Piece providerCarrier; // the state provider's
    Piece sim;             // the SIM-status text
    Piece shown;           // what stands in the carrier's place
    Radio radio = Radio::absent;
    Switch dualSIM = Switch::absent;
};
StatusBarReading readStatusBar();

void setRadioModuleDead(const std::string &className, bool dead);
// Makes the host's own implementation raise after recording its arguments.
void setRaising(const std::string &className, const std::string &selector, bool raising);

} // namespace springboard
