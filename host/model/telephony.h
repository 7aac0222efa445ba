// The host's telephony and status-bar classes, as a simulated SpringBoard has them: one instance
// of each, whose own implementations record what they receive and answer simply.
//
//   setters of the operator name     record the name (and context)
//   _displayStringForSIMStatus:      "SIM <status>"
//   isRadioModuleDead                NO, unless set otherwise
//   _otherSIMInfoIfSIMPresent:       the host's own object @host-sim-info
//   isDualSIMEnabled                 what setDualSIMEnabled: last stored, NO at first
//   setCachedDualSIMEnabled:, setDualSIMEnabled:   record and store the value
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/model/model.h"

namespace model::telephony {

extern const char *const classNames[5];

// Defines the classes, except those the host is to lack, and makes their instances.
void install(const std::vector<std::string> &withoutClasses = {});

// The host's instance of a class, or null when the host lacks it.
HostId instance(const std::string &className);

struct Argument {
    bool isObject;
    HostId object;              // when isObject
    HostBool truth;             // otherwise
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
    HostId name; // held by the host until the next name arrives
};
StoredName lastOperatorName(const std::string &className);

void setRadioModuleDead(const std::string &className, bool dead);
// Makes the host's own implementation raise after recording its arguments.
void setRaising(const std::string &className, const std::string &selector, bool raising);

} // namespace model::telephony
