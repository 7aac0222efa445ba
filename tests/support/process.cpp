#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace {

pid_t spawn(const std::string &program, const std::vector<std::string> &arguments, int in, int out, int err) {
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void makePipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
}

} // namespace

Finished runProgram(const std::string &program, const std::vector<std::string> &arguments,
                    const std::string &input) {
    int in[2], out[2], err[2];
    makePipe(in);
    makePipe(out);
    makePipe(err);
    pid_t pid = spawn(program, arguments, in[0], out[1], err[1]);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    signal(SIGPIPE, SIG_IGN);
    size_t written = 0;
    Finished finished{0, "", ""};
    pollfd fds[3] = {{in[1], POLLOUT, 0}, {out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    if (input.empty()) {
        close(in[1]);
        fds[0].fd = -1;
    }
    while (fds[1].fd >= 0 || fds[2].fd >= 0) {
        poll(fds, 3, -1);
        if (fds[0].fd >= 0 && fds[0].revents) {
            ssize_t n = write(in[1], input.data() + written, input.size() - written);
            written += n > 0 ? static_cast<size_t>(n) : 0;
            if (n < 0 || written == input.size()) {
                close(in[1]);
                fds[0].fd = -1;
            }
        }
        for (int i = 1; i < 3; ++i) {
            if (fds[i].fd >= 0 && fds[i].revents) {
                char buffer[4096];
                ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                } else {
                    (i == 1 ? finished.out : finished.err).append(buffer, static_cast<size_t>(n));
                }
            }
        }
    }
    finished.status = waitFor(pid);
    return finished;
}

RunningProgram::RunningProgram(const std::string &program, const std::vector<std::string> &arguments) {
    int in[2], out[2];
    makePipe(in);
    makePipe(out);
    pid_ = spawn(program, arguments, in[0], out[1], STDERR_FILENO);
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    out_ = out[0];
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        finish();
    }
}

std::string RunningProgram::ask(const std::string &line) {
    std::string sent = line + "\n";
    if (write(in_, sent.data(), sent.size()) != static_cast<ssize_t>(sent.size())) {
        return "";
    }
    std::string answer;
    char c;
    while (read(out_, &c, 1) == 1 && c != '\n') {
        answer += c;
    }
    return answer;
}

int RunningProgram::finish() {
    if (in_ >= 0) {
        close(in_);
        in_ = -1;
    }
    int status = waitFor(pid_);
    pid_ = -1;
    close(out_);
    out_ = -1;
    return status;
}
