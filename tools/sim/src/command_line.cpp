#include "kes_sim/command_line.h"

#include <asio/ip/address.hpp>

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace kes_sim {
namespace {

constexpr size_t kVersionLimit = 16;

template <typename T>
bool parseNumber(const std::string& text, T& out, int base = 10)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out, base);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool parseDouble(const std::string& text, double& out)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && !text.empty();
}

// Hex with 0x, else decimal.
bool parseCode(const std::string& text, uint16_t& out)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseNumber(text.substr(2), out, 16);
    return parseNumber(text, out);
}

bool parseVersion(const std::string& text, std::string& out)
{
    out = text;
    return text.size() <= kVersionLimit;
}

using Setter = std::function<bool(const std::string&, SimOptions&)>;

const std::map<std::string, Setter>& valuedOptions()
{
    static const std::map<std::string, Setter> table = {
        {"--bind",
         [](const std::string& v, SimOptions& o) {
             asio::error_code ec;
             asio::ip::make_address(v, ec);
             o.bind_address = v;
             return !ec;
         }},
        {"--port", [](const std::string& v, SimOptions& o) { return parseNumber(v, o.port); }},
        {"--firmware", [](const std::string& v, SimOptions& o) { return parseVersion(v, o.firmware); }},
        {"--hardware", [](const std::string& v, SimOptions& o) { return parseVersion(v, o.hardware); }},
        {"--loss", [](const std::string& v,
                      SimOptions& o) { return parseDouble(v, o.loss) && o.loss >= 0.0 && o.loss <= 1.0; }},
        {"--delay-ms", [](const std::string& v, SimOptions& o) { return parseNumber(v, o.delay_ms); }},
        {"--refuse",
         [](const std::string& v, SimOptions& o) {
             uint16_t code = 0;
             if (!parseCode(v, code))
                 return false;
             o.refused.insert(code);
             return true;
         }},
        {"--silent-after",
         [](const std::string& v, SimOptions& o) {
             double seconds = 0;
             if (!parseDouble(v, seconds) || seconds < 0.0)
                 return false;
             o.silent_after_s = seconds;
             return true;
         }},
        {"--restart-ms", [](const std::string& v, SimOptions& o) { return parseNumber(v, o.restart_ms); }},
        {"--seed", [](const std::string& v, SimOptions& o) { return parseNumber(v, o.seed); }},
        {"--noise-mm",
         [](const std::string& v, SimOptions& o) {
             return parseDouble(v, o.noise_mm) && o.noise_mm >= 0.0 && o.noise_mm <= 10000.0;
         }},
        {"--replay",
         [](const std::string& v, SimOptions& o) {
             o.replay_file = v;
             return !v.empty();
         }},
        {"--device-ip",
         [](const std::string& v, SimOptions& o) {
             o.device_ip = v;
             return inet_addr(v.c_str()) != INADDR_NONE && std::count(v.begin(), v.end(), '.') == 3;
         }},
    };
    return table;
}

// Applies one option; an error message when it is wrong.
std::string apply(const std::string& name, const std::string* value, SimOptions& o, bool& help)
{
    if (name == "--help" || name == "-h")
        help = true;
    else if (name == "--reorder")
        o.reorder = true;
    else if (name == "--verbose")
        o.verbose = true;
    else if (name == "--announce")
        o.announce = true;
    else if (name == "--loop")
        o.loop = true;
    else if (const auto it = valuedOptions().find(name); it == valuedOptions().end())
        return "unknown option " + name;
    else if (!value)
        return name + " needs a value";
    else if (!it->second(*value, o))
        return "invalid value '" + *value + "' for " + name;
    return {};
}

} // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv)
{
    ParsedCommandLine parsed;
    for (int i = 1; i < argc && parsed.error.empty(); ++i) {
        std::string name = argv[i];
        std::string inlineValue;
        const std::string* value = nullptr;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
            value = &inlineValue;
        }
        const bool takesValue = valuedOptions().count(name) != 0;
        std::string next;
        if (takesValue && !value && i + 1 < argc) {
            next = argv[++i];
            value = &next;
        }
        parsed.error = apply(name, value, parsed.options, parsed.help);
    }
    if (!parsed.error.empty())
        parsed.error += " (see kestra-sim --help)";
    return parsed;
}

std::string usageText()
{
    return "Usage: kestra-sim [options]\n"
           "Simulates the lidar's device side over UDP: answers requests and streams scans.\n"
           "\n"
           "  --bind ADDR         address to listen on (default 127.0.0.1)\n"
           "  --port P            UDP port (default 2007; 0 picks a free one)\n"
           "  --firmware TEXT     firmware version, at most 16 bytes (default A1.0.7)\n"
           "  --hardware TEXT     hardware version, at most 16 bytes (default H2.1)\n"
           "  --device-ip A       the address the device reports as its own (default 192.168.1.100)\n"
           "  --loss P            drop this fraction 0..1 of outgoing datagrams\n"
           "  --reorder           send each revolution's six blocks out of order\n"
           "  --delay-ms N        answer requests N ms late\n"
           "  --refuse CODE       answer CODE (0x0105 or 261) with failure status 1; repeatable\n"
           "  --silent-after S    stop answering and streaming S seconds after start\n"
           "  --restart-ms N      silence after a reboot (default 2000)\n"
           "  --seed N            seed for the scene, jitter, noise and loss (default 1)\n"
           "  --noise-mm SIGMA    Gaussian range noise of SIGMA mm in place of the built-in jitter\n"
           "  --replay FILE.pcap  be the lidar of a capture (kestra-cli capture, tcpdump): answer\n"
           "                      with the versions, address, frequency, filter and direction its\n"
           "                      answers gave, and play its scan datagrams at their recorded pace\n"
           "                      from the start each time the stream is turned on\n"
           "  --loop              with --replay: start the capture over at its end\n"
           "  --verbose           print one line per request: code, payload, answer status\n"
           "  --announce          answer mDNS queries (port 5353, shared) for a _udp._udp service\n"
           "                      on the port, at the bind address (the --device-ip when bound\n"
           "                      to any), as a lidar announces itself\n"
           "  --help              show this text\n"
           "\n"
           "Malformed requests (wrong size or length field, bad CRC) are dropped. Codes the\n"
           "device does not know are answered with status 2. Scan frequencies 10/15/20/25/30 Hz.\n"
           "Exit status: 0 on SIGINT/SIGTERM, 64 for a bad option, 66 for a capture that cannot be\n"
           "read, 69 when the port cannot be bound.\n";
}

} // namespace kes_sim
