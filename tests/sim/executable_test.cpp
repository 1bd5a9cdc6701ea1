#include "loopback_host.h"

#include "kes_sdk/command_codes.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace kes_sim_test {
namespace {

// kestra-sim as a child process with its stdout and stderr on pipes.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        args.insert(args.begin(), KESTRA_SIM_EXE);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2], err[2];
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(pipe(err), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    ~SimProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        close(err_);
    }

    // Reads stdout until `text` shows up or the deadline passes; what was read.
    std::string readOutUntil(const std::string& text) { return readUntil(out_, text); }
    std::string readErrToEnd() { return readUntil(err_, std::string(1, '\0')); }

    // The exit status once the child has closed its stderr, -1 if it keeps running.
    int exitCode()
    {
        readErrToEnd();
        int status = 0;
        if (!err_closed_ || waitpid(pid_, &status, 0) != pid_)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void signal(int sig) { kill(pid_, sig); }

private:
    std::string readUntil(int fd, const std::string& text)
    {
        std::string& seen = fd == out_ ? out_text_ : err_text_;
        const auto deadline = Clock::now() + Ms(3000);
        while (seen.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
            pollfd p{fd, POLLIN, 0};
            char buffer[512];
            if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
                break;
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                err_closed_ = err_closed_ || fd == err_;
                break;
            }
            seen.append(buffer, size_t(n));
        }
        return seen;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string out_text_;
    std::string err_text_;
    bool err_closed_ = false;
};

TEST(SimulatorExecutable, ServesOnTheAnnouncedPortAndStopsOnSigterm)
{
    SimProcess sim({"--port", "0", "--verbose", "--refuse", "0x0105"});
    const std::string line = sim.readOutUntil("\n");
    const std::string prefix = "kestra-sim listening on 127.0.0.1:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    LoopbackHost host(uint16_t(std::stoi(line.substr(prefix.size()))));
    EXPECT_EQ(statusOf(host.request(kes_sdk::cmd::kSetScanFrequency, kes_sdk::payloadU32(20))), 1u);
    EXPECT_NE(sim.readOutUntil("0x0105 payload 00000014 -> status 1\n").find("status 1"), std::string::npos);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.exitCode(), 0);
}

TEST(SimulatorExecutable, BadOptionsExitWithUsageError)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--loss", "7"}, {"--hardware", "H0123456789abcdef"}, {"--refuse", "0x1zz"}, {"--frobnicate"}, {"--port"}};
    for (const auto& args : bad) {
        SCOPED_TRACE(args[0]);
        SimProcess sim(args);
        EXPECT_EQ(sim.exitCode(), 64);
        EXPECT_NE(sim.readErrToEnd().find(args[0]), std::string::npos);
    }
}

TEST(SimulatorExecutable, PortInUseExitsUnavailable)
{
    asio::io_context io;
    udp::socket taken(io, udp::endpoint(asio::ip::address_v4::loopback(), 0));
    const std::string port = std::to_string(taken.local_endpoint().port());
    SimProcess sim({"--port", port});
    EXPECT_EQ(sim.exitCode(), 69);
    EXPECT_NE(sim.readErrToEnd().find("cannot bind 127.0.0.1:" + port), std::string::npos);
}

} // namespace
} // namespace kes_sim_test
