#include "tests/support/fresh_process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

void inFreshProcess(const std::function<void()> &body) {
    std::fflush(nullptr);
    pid_t child = fork();
    ASSERT_GE(child, 0) << "fork failed";
    if (child == 0) {
        int status = 0;
        try {
            body();
            status = ::testing::Test::HasFailure() ? 1 : 0;
        } catch (const std::exception &error) {
            std::fprintf(stderr, "child raised: %s\n", error.what());
            status = 2;
        }
        std::fflush(nullptr);
        // exit, not _exit: the sanitizers' leak check runs at exit.
        std::exit(status);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child died with signal "
                                   << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child process reported a failure (see above)";
}
