#include "sim/command_line.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>

namespace tessarin::sim {

namespace {

bool parseInt(const std::string& text, long long low, long long high, long long& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

bool parseInt(const std::string& text, int low, int high, int& value) {
    long long v = 0;
    if (!parseInt(text, low, high, v)) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool parseNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

// 0.25 or 25%.
bool parseShare(std::string text, double& share) {
    const bool percent = !text.empty() && text.back() == '%';
    if (percent) {
        text.pop_back();
    }
    if (!parseNumber(text, share)) {
        return false;
    }
    if (percent) {
        share /= 100.0;
    }
    return share >= 0.0 && share <= 1.0;
}

bool parsePair(const std::string& text, int firstHigh, int secondLow, int secondHigh, std::pair<int, int>& pair) {
    const auto colon = text.find(':');
    return colon != std::string::npos && parseInt(text.substr(0, colon), 0, firstHigh, pair.first) &&
           parseInt(text.substr(colon + 1), secondLow, secondHigh, pair.second);
}

std::string formatShare(double share) { return std::to_string(static_cast<int>(std::lround(share * 100.0))) + "%"; }

std::string formatSeconds(double seconds) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%g s", seconds);
    return text.data();
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    using Handler = std::function<bool(const std::string&)>;
    const std::map<std::string, Handler> withValue{
        {"--index", [&](const std::string& v) { return parseInt(v, 0, 999, line.options.index); }},
        {"--com", [&](const std::string& v) { return parseInt(v, 1, 9999, line.options.comNumber); }},
        {"--seed",
         [&](const std::string& v) {
             long long seed = 0;
             if (!parseInt(v, 0, UINT32_MAX, seed)) {
                 return false;
             }
             line.options.seed = static_cast<std::uint32_t>(seed);
             return true;
         }},
        {"--drop-record",
         [&](const std::string& v) {
             std::pair<int, int> pair;
             if (!parsePair(v, 255, 1, 1000000, pair)) {
                 return false;
             }
             line.dropRecords.push_back(pair);
             return true;
         }},
        {"--drop-share", [&](const std::string& v) { return parseShare(v, line.dropShare); }},
        {"--corrupt-share", [&](const std::string& v) { return parseShare(v, line.corruptShare); }},
        {"--split", [&](const std::string& v) { return parseInt(v, 1, 64, line.splitPieces); }},
        {"--noise", [&](const std::string& v) { return parseInt(v, 0, 1000, line.noiseBytes); }},
        {"--renumber",
         [&](const std::string& v) {
             std::pair<int, int> pair;
             if (!parsePair(v, 255, 0, 255, pair)) {
                 return false;
             }
             line.renumber.push_back(pair);
             return true;
         }},
        {"--duplicate",
         [&](const std::string& v) {
             int record = 0;
             if (!parseInt(v, 0, 255, record)) {
                 return false;
             }
             line.duplicates.push_back(record);
             return true;
         }},
        {"--unplug-after",
         [&](const std::string& v) {
             double s = 0;
             if (!parseNumber(v, s) || s < 0) {
                 return false;
             }
             line.unplugAfter = s;
             return true;
         }},
        {"--replug-after",
         [&](const std::string& v) {
             double s = 0;
             if (!parseNumber(v, s) || s < 0) {
                 return false;
             }
             line.replugAfter = s;
             return true;
         }},
    };
    const std::map<std::string, std::function<void()>> flags{
        {"--help", [&] { line.help = true; }},
        {"-h", [&] { line.help = true; }},
        {"--no-pacing", [&] { line.options.pacing = false; }},
        {"--trace", [&] { line.options.trace = true; }},
        {"--silent", [&] { line.silent = true; }},
        {"--ignore-settings", [&] { line.ignoreSettingsWrites = true; }},
        {"--no-ovgr", [&] { line.ovgrFunction = false; }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (const auto flag = flags.find(name); flag != flags.end()) {
            if (value) {
                error = name + " takes no value";
                return false;
            }
            flag->second();
            continue;
        }
        const auto option = withValue.find(name);
        if (option == withValue.end()) {
            error = "unknown option " + name;
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!option->second(*value)) {
            error = "bad value for " + name + ": " + *value;
            return false;
        }
    }
    if (line.replugAfter && !line.unplugAfter) {
        error = "--replug-after needs --unplug-after";
        return false;
    }
    return true;
}

std::string UsageText() {
    return "Usage: tessarin-sim [options]\n"
           "A simulated control unit on a pseudo-terminal, listed in the serial-port list\n"
           "($XDG_RUNTIME_DIR/tessarin/serialcomm or /tmp/tessarin-<uid>/serialcomm).\n"
           "\n"
           "  --index N            list it as \\Device\\VCP<N> (default: the first free index)\n"
           "  --com N              port name COM<N> (default: 20 + index)\n"
           "  --no-pacing          answer at once instead of at 9600 baud\n"
           "  --trace              print each request received (monotonic ms, hex) to stderr\n"
           "  --seed N             seed of the moving values, the logs and random faults (default 1)\n"
           "  --no-ovgr            a unit without the OVGR function\n"
           "Faults:\n"
           "  --silent             answer nothing\n"
           "  --ignore-settings    take settings writes and initialisations without changing anything\n"
           "  --drop-record N:K    leave the next K requests for record N unanswered (repeatable)\n"
           "  --drop-share P       leave this share of record requests unanswered (0.1 or 10%)\n"
           "  --corrupt-share P    corrupt the checksum of this share of answers\n"
           "  --split N            write each answer in N pieces, 2-5 ms apart\n"
           "  --noise N            write N noise bytes (never FFh) before each answer\n"
           "  --renumber A:B       answer record A numbered B (repeatable)\n"
           "  --duplicate N        answer each request for record N twice, 20 ms apart (repeatable)\n"
           "  --unplug-after S     unplug after S seconds: the entry goes, the line hangs up\n"
           "  --replug-after S     plug in again S seconds after the unplug, on a new pty\n"
           "  --help               this text\n"
           "Record requests outside a log's range are answered with an empty slot under that number.\n"
           "Ctrl+C or SIGTERM stops it and removes its entry.\n";
}

void ApplyCommandLine(const CommandLine& line, SimulatedUnit& unit) {
    unit.SetSilent(line.silent);
    unit.SetIgnoreSettingsWrites(line.ignoreSettingsWrites);
    unit.SetOvgrFunction(line.ovgrFunction);
    for (const auto& [record, times] : line.dropRecords) {
        unit.DropRecordAnswers(record, times);
    }
    unit.SetDropShare(line.dropShare);
    unit.SetCorruptShare(line.corruptShare);
    unit.SetSplitWrites(line.splitPieces);
    unit.SetNoiseBytes(line.noiseBytes);
    for (const auto& [requested, sent] : line.renumber) {
        unit.SetRecordNumberOverride(requested, sent);
    }
    for (const int record : line.duplicates) {
        unit.SetDuplicateAnswers(record, true);
    }
}

std::string DescribeFaults(const CommandLine& line) {
    std::vector<std::string> parts;
    if (!line.options.pacing) {
        parts.emplace_back("no pacing");
    }
    if (!line.ovgrFunction) {
        parts.emplace_back("no OVGR function");
    }
    if (line.silent) {
        parts.emplace_back("silent");
    }
    if (line.ignoreSettingsWrites) {
        parts.emplace_back("settings writes ignored");
    }
    for (const auto& [record, times] : line.dropRecords) {
        parts.push_back("record " + std::to_string(record) + " unanswered " + std::to_string(times) + "x");
    }
    if (line.dropShare > 0) {
        parts.push_back(formatShare(line.dropShare) + " of records unanswered");
    }
    if (line.corruptShare > 0) {
        parts.push_back(formatShare(line.corruptShare) + " of checksums corrupted");
    }
    if (line.splitPieces > 1) {
        parts.push_back("answers in " + std::to_string(line.splitPieces) + " pieces");
    }
    if (line.noiseBytes > 0) {
        parts.push_back(std::to_string(line.noiseBytes) + " noise bytes before answers");
    }
    for (const auto& [requested, sent] : line.renumber) {
        parts.push_back("record " + std::to_string(requested) + " numbered " + std::to_string(sent));
    }
    for (const int record : line.duplicates) {
        parts.push_back("record " + std::to_string(record) + " answered twice");
    }
    if (line.unplugAfter) {
        parts.push_back("unplug after " + formatSeconds(*line.unplugAfter));
    }
    if (line.replugAfter) {
        parts.push_back("plug in again " + formatSeconds(*line.replugAfter) + " later");
    }
    std::string text;
    for (const auto& part : parts) {
        text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

}  // namespace tessarin::sim
