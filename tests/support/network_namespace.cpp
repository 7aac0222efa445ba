#include "tests/support/network_namespace.h"

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

NamespaceRun inNetworkNamespace(const std::string &setup, const std::function<bool()> &check) {
    if (geteuid() != 0 || std::system("command -v ip >/dev/null 2>&1") != 0) {
        return {NamespaceRun::unavailable, "needs root and the ip command to make a network namespace"};
    }
    constexpr int cannotMakeNamespace = 77;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        return {NamespaceRun::unavailable, "fork failed"};
    }
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0 || std::system(setup.c_str()) != 0) {
            _exit(cannotMakeNamespace);
        }
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return {NamespaceRun::failed, ""};
    }
    if (WEXITSTATUS(status) == cannotMakeNamespace) {
        return {NamespaceRun::unavailable,
                "this machine does not let the test make a network namespace with a veth pair"};
    }
    return {WEXITSTATUS(status) == 0 ? NamespaceRun::passed : NamespaceRun::failed, ""};
}
