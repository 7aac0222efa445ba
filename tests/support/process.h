// Running a built program as a user would: arguments, standard input, and what it prints.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct Finished {
    int status; // the exit status, or 128 + the signal
    std::string out;
    std::string err;
};

// Runs `program` with `arguments`, feeding it `input`, and waits for it.
Finished runProgram(const std::string &program, const std::vector<std::string> &arguments,
                    const std::string &input = "");

// A program that keeps running, talked to a line at a time through pipes.
class RunningProgram {
  public:
    RunningProgram(const std::string &program, const std::vector<std::string> &arguments);
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;
    ~RunningProgram();

    // Sends one line and returns the one line it answers (empty when it closed its output).
    std::string ask(const std::string &line);
    // Closes its input and waits for it to end; returns the exit status.
    int finish();

  private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
};
