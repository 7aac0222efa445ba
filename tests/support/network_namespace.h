// Real interfaces for a test: a forked child in a network namespace of its own, set up with ip.
#pragma once

#include <functional>
#include <string>

struct NamespaceRun {
    enum Outcome { passed, failed, unavailable } outcome;
    std::string reason; // why the namespace could not be had
};

// Runs `setup` (shell commands) and then `check` in a child inside a fresh network namespace,
// which goes with the child. Needs root and the ip command.
NamespaceRun inNetworkNamespace(const std::string &setup, const std::function<bool()> &check);
