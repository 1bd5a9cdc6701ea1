#include "loopback_host.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace kes_sim_test {
namespace {

// kestra-sim with `args`, its stderr joined to its stdout, ended after 10 s at the latest.
class SimProcess {
public:
    explicit SimProcess(const std::string& args)
        : pipe_(popen(("echo $$; exec timeout 10 " KESTRA_SIM_EXE " " + args + " 2>&1").c_str(), "r"))
    {
        const std::string first = readUntil("\n");
        pid_ = std::stoi(first);
        out_.erase(0, first.find('\n') + 1);
    }
    ~SimProcess() { exitCode(); }

    // Reads until `text` shows up, the output ends or 3 s pass; all read so far.
    std::string readUntil(const std::string& text)
    {
        const auto deadline = Clock::now() + Ms(kes_test::scaled(3000));
        char buffer[512];
        while (pipe_ && out_.find(text) == std::string::npos && Clock::now() < deadline) {
            pollfd p{fileno(pipe_), POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = read(fileno(pipe_), buffer, sizeof buffer);
            if (n <= 0)
                break;
            out_.append(buffer, size_t(n));
        }
        return out_;
    }

    // Sends `sig` if given, then waits for the end; the exit status.
    int exitCode(int sig = 0)
    {
        if (!pipe_)
            return code_;
        if (sig)
            kill(pid_, sig);
        readUntil(std::string(1, '\0'));
        const int status = pclose(pipe_);
        pipe_ = nullptr;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return code_;
    }

private:
    FILE* pipe_;
    pid_t pid_ = -1;
    std::string out_;
    int code_ = -1;
};

TEST(SimulatorExecutable, ServesOnTheAnnouncedPortAndStopsOnSigterm)
{
    SimProcess sim("--port 0 --verbose --refuse 0x0105");
    const std::string prefix = "kestra-sim listening on 127.0.0.1:";
    const std::string line = sim.readUntil("\n");
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    LoopbackHost host(uint16_t(std::stoi(line.substr(prefix.size()))));
    EXPECT_EQ(statusOf(host.request(cmd::kSetScanFrequency, payloadU32(20))), 1u);
    EXPECT_NE(sim.readUntil("0x0105 payload 00000014 -> status 1\n").find("status 1"), std::string::npos);
    EXPECT_EQ(sim.exitCode(SIGTERM), 0);
}

TEST(SimulatorExecutable, BadOptionsAndATakenPortExitWithTheirCodeAndReason)
{
    asio::io_context io;
    asio::ip::udp::socket taken(io, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
    const std::string port = std::to_string(taken.local_endpoint().port());
    const struct {
        std::string args;
        int code;
        std::string reason;
    } cases[] = {{"--loss 7", 64, "--loss"},         {"--hardware H0123456789abcdef", 64, "--hardware"},
                 {"--refuse 0x1zz", 64, "--refuse"}, {"--frobnicate", 64, "--frobnicate"},
                 {"--port", 64, "--port"},           {"--port " + port, 69, "cannot bind 127.0.0.1:" + port}};
    for (const auto& c : cases) {
        SimProcess sim(c.args);
        EXPECT_EQ(sim.exitCode(), c.code) << c.args;
        EXPECT_NE(sim.readUntil(c.reason).find(c.reason), std::string::npos) << c.args;
    }
}

} // namespace
} // namespace kes_sim_test
