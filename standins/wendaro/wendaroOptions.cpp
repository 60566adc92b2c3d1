#include "standins/wendaro/wendaroOptions.h"

#include "platform/codePage.h"
#include "platform/paths.h"

#include <charconv>
#include <optional>

namespace {

constexpr std::uint32_t demoOperatorMs = 3000;

template <class T> std::optional<T> numberOf(const std::string& text)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || text.empty())
        return std::nullopt;
    return value;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

// ID[:NAME[:HWREV[:EMBVER]]]
bool machineOf(const std::string& text, wendaroMachineConfig_t& machine)
{
    const std::vector<std::string> parts = split(text, ':');
    if (parts.size() > 4)
        return false;
    const auto id = numberOf<std::uint32_t>(parts[0]);
    if (!id || *id == 0)
        return false;
    machine.printer.machineID = *id;
    if (parts.size() > 1)
        machine.name = utf8ToWide(parts[1]);
    if (parts.size() > 2) {
        const auto revision = numberOf<std::uint16_t>(parts[2]);
        if (!revision)
            return false;
        machine.printer.hardwareRevision = *revision;
    }
    if (parts.size() > 3) {
        const auto version = numberOf<std::uint16_t>(parts[3]);
        if (!version)
            return false;
        machine.printer.embeddedVersion = *version;
    }
    return true;
}

}  // namespace

const char* wendaroOptions_t::usage()
{
    return "Usage: Wendaro.exe [/c] [--port N] [--machine ID[:NAME[:HWREV[:EMBVER]]]]...\n"
           "                   [--data-root DIR] [--time-scale F] [--seed N] [--trace FILE]\n"
           "                   [--quiet] [--exit-on-stdin-eof] [--layer-trouble N] [--no-operator]\n"
           "--no-operator: nobody presses the printers' RESUME when the knife check asks.\n";
}

wendaroOptions_t wendaroOptions_t::parse(const std::vector<std::string>& args)
{
    wendaroOptions_t options;
    std::optional<double> timeScale;
    std::optional<std::uint32_t> seed;
    std::optional<int> layerTrouble;
    bool operatorAtPanel = true;
    auto fail = [&](const std::string& why) {
        options.error = utf8ToWide(why);
        return options;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (arg == "/c" || arg == "/C" || arg == "-c" || arg == "-C") {
            options.closeOther = true;
        } else if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--exit-on-stdin-eof") {
            options.exitOnStdinEof = true;
        } else if (arg == "--no-operator") {
            operatorAtPanel = false;
        } else if (arg == "--port") {
            const auto text = value();
            const auto port = text ? numberOf<int>(*text) : std::nullopt;
            if (!port || *port < 0 || *port > 65535)
                return fail("--port needs a port number (0 for any free port)");
            options.config.port = *port;
        } else if (arg == "--machine") {
            const auto text = value();
            wendaroMachineConfig_t machine;
            if (!text || !machineOf(*text, machine))
                return fail("--machine needs ID[:NAME[:HWREV[:EMBVER]]] with an ID above 0");
            options.config.machines.push_back(machine);
        } else if (arg == "--data-root") {
            const auto text = value();
            if (!text || text->empty())
                return fail("--data-root needs a folder");
            // A Linux path from outside becomes the system's text for it.
            options.config.dataRoot = (*text)[0] == '/' ? toSystemPath(*text) : utf8ToWide(*text);
        } else if (arg == "--time-scale") {
            const auto text = value();
            timeScale = text ? numberOf<double>(*text) : std::nullopt;
            if (!timeScale || *timeScale < 0)
                return fail("--time-scale needs a number of at least 0");
        } else if (arg == "--seed") {
            const auto text = value();
            seed = text ? numberOf<std::uint32_t>(*text) : std::nullopt;
            if (!seed)
                return fail("--seed needs a number");
        } else if (arg == "--layer-trouble") {
            const auto text = value();
            layerTrouble = text ? numberOf<int>(*text) : std::nullopt;
            if (!layerTrouble || *layerTrouble < 0 || *layerTrouble > 1000)
                return fail("--layer-trouble needs a number of troubled layers per thousand (0 to 1000)");
        } else if (arg == "--trace") {
            const auto text = value();
            if (!text || text->empty())
                return fail("--trace needs a file");
            options.tracePath = *text;
        } else {
            return fail("unknown argument " + arg);
        }
    }
    if (options.config.machines.empty())
        options.config.machines.push_back(wendaroMachineConfig_t());
    for (wendaroMachineConfig_t& machine : options.config.machines) {
        if (seed)
            machine.printer.seed = *seed;
        if (layerTrouble)
            machine.printer.layerTroublePerMille = *layerTrouble;
        // The program is the demonstration's printer: someone stands at its
        // front panel.
        machine.printer.operatorResumeMs = operatorAtPanel ? demoOperatorMs : 0;
        if (timeScale) {
            if (*timeScale == 0) {
                machine.printer.actionMs = 0;
                machine.printer.initMs = 0;
                machine.printer.warmUpMs = 0;
                machine.printer.loadingMs = 0;
                machine.printer.layerMs = 20;
            } else {
                machine.printer.timeScale = *timeScale;
            }
        }
    }
    return options;
}
