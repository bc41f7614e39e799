// The balance tool ends a run it was asked to stop, or one past its
// wall-clock cap, prints the row of what it played and exits with its code.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs the tool with its output in a pipe; the signal, when not 0, goes to it
// once the trace of a run shows (the run is under way).
struct Outcome {
    int status = -1;     // the exit code; -1 when killed by a signal
    std::string output;
};

Outcome RunBalance(const std::vector<std::string>& args, int signal) {
    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv{const_cast<char*>(BALANCE_TOOL_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(BALANCE_TOOL_PATH, argv.data());
        _exit(127);
    }
    close(out[1]);
    Outcome o;
    bool signalled = signal == 0;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        o.output.append(buffer, static_cast<size_t>(n));
        if (!signalled && o.output.find(" client0") != std::string::npos) {
            kill(child, signal);
            signalled = true;
        }
    }
    close(out[0]);
    int ws = 0;
    waitpid(child, &ws, 0);
    o.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    return o;
}

// The outcome column of every row of the table.
std::vector<std::string> Outcomes(const std::string& output) {
    std::vector<std::string> out;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("| survival", 0) != 0 && line.rfind("| day", 0) != 0) continue;
        std::istringstream cells(line);
        std::string cell;
        for (int column = 0; column < 8; ++column) std::getline(cells, cell, '|');
        out.push_back(cell.substr(1, cell.find(' ', 1) - 1));
    }
    return out;
}

TEST(BalanceTool, StopsARunWhenAskedOrPastItsWallClock) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int signal;
        int status;
        const char* outcome;
    };
    // Half an hour of survival takes far longer than the cap or the signal;
    // the trace shows the run under way.
    const std::vector<std::string> survival = {"--survival", "1", "--seeds", "1,2", "--minutes", "30", "--trace"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), survival.begin(), survival.end());
        return more;
    };
    const Case cases[] = {
        {"SIGTERM", survival, SIGTERM, 128 + SIGTERM, "stopped"},
        {"SIGINT", survival, SIGINT, 128 + SIGINT, "stopped"},
        {"the wall clock", with({"--wall", "0.2"}), 0, 1, "timeout"},
    };
    for (const Case& c : cases) {
        const Outcome o = RunBalance(c.args, c.signal);
        EXPECT_EQ(o.status, c.status) << c.what;
        // A stop ends the run under way and every one after it; the cap only the run past it.
        EXPECT_EQ(Outcomes(o.output), std::vector<std::string>(c.signal ? 1 : 2, c.outcome)) << c.what;
    }
}

} // namespace
