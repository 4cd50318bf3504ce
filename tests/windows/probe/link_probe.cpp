// link_probe: the Windows build of the link as the program drives it, for the end-to-end run under Wine.
// It builds the program's own UnitLink (the registry's serial-port list and a classComm on the Win32 calls),
// calls its ticks on the window's intervals (connection 100 ms, receive 10 ms) and prints, one line each,
// UTF-8 with LF:
//   found <value name> COM<n>            the port discovery found the unit's port
//   link <text>                          panel 1 changed ("ON LINE" / "OFF LINE")
//   values <name>=<text>|...             the NowValue texts changed
//   modem silent=<yes|no> ...            what the modem-line members did on the open port (once)
//   gone-before-tick <n> link-after <text>   the first tick that began with the port's value missing
//   end <reason>
// It stops when the file named by its first argument exists, or after its second argument in seconds.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "link/class_comm.h"
#include "link/link_events.h"
#include "link/port_listing.h"
#include "link/unit_link.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kConnectInterval = 100ms;
constexpr auto kReceiveInterval = 10ms;
constexpr int kDefaultSeconds = 60;
// The link texts the window would show.
const std::string kOnLine = "ON LINE";
const std::string kOffLine = "OFF LINE";

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Prints the link text the window would show, each time it changes.
class PrintingView final : public tessarin::LinkEvents {
  public:
    void LinkUp() override { show(kOnLine); }
    void LinkDown(tessarin::LinkDownReason /*reason*/) override { show(kOffLine); }
    [[nodiscard]] const std::string& LinkText() const { return m_linkText; }

  private:
    void show(const std::string& text) {
        if (text != m_linkText) {
            m_linkText = text;
            printLine("link " + text);
        }
    }
    std::string m_linkText;
};

std::string valuesLine(const tessarin::NowValueRecord& v) {
    return "values V0Text=" + v.V0Text + "|I0Text=" + v.I0Text + "|PhaseText=" + v.PhaseText +
           "|FreqText=" + v.FreqText + "|DetectProgress=" + std::to_string(v.DetectProgress) +
           "|ConfirmCount=" + std::to_string(v.ConfirmCount) + "|DetectModeText=" + v.DetectModeText +
           "|V0LevelText=" + v.V0LevelText + "|I0LevelText=" + v.I0LevelText + "|PhaseRangeText=" + v.PhaseRangeText +
           "|DetectTimeText=" + v.DetectTimeText + "|OvgrStateText=" + v.OvgrStateText +
           "|AlarmOut1Text=" + v.AlarmOut1Text + "|AlarmOut2Text=" + v.AlarmOut2Text +
           "|CyclicDispText=" + v.CyclicDispText + "|LogOverwriteText=" + v.LogOverwriteText +
           "|OvgrModeText=" + v.OvgrModeText;
}

// The modem-line members on the open port: first as the program runs them (ErrorTrap false), where any
// failure must pass without a trace, then with ErrorTrap on, to see what the platform made of them.
std::string probeModemLines(tessarin::classComm& comm) {
    comm.ClearError();
    comm.SetErrorTrap(false);
    comm.SetDtr(true);
    comm.SetRts(true);
    static_cast<void>(comm.Cts());
    static_cast<void>(comm.Dsr());
    static_cast<void>(comm.Dcd());
    static_cast<void>(comm.Ri());
    const bool silent = comm.ErrorCount() == 0 && comm.LastError().Number == 0;

    comm.SetErrorTrap(true);
    SetLastError(0);
    comm.SetDtr(true);
    const DWORD dtrError = GetLastError();
    const bool dtrTrapped = comm.ErrorCount() == 1;
    SetLastError(0);
    static_cast<void>(comm.Cts());
    const DWORD ctsError = GetLastError();
    const bool ctsTrapped = comm.ErrorCount() == (dtrTrapped ? 2 : 1);
    const std::int32_t number = comm.LastError().Number;
    comm.SetErrorTrap(false);
    comm.ClearError();

    auto outcome = [](bool trapped, DWORD error) {
        return trapped ? "refused:" + std::to_string(error) : std::string("ok");
    };
    return "modem silent=" + std::string(silent ? "yes" : "no") +
           " EscapeCommFunction=" + outcome(dtrTrapped, dtrError) +
           " GetCommModemStatus=" + outcome(ctsTrapped, ctsError) + " trapped-error=" + std::to_string(number);
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        std::fputs("usage: link_probe <stop-file> [seconds]\n", stderr);
        return 2;
    }
    const std::filesystem::path stopFile(argv[1]);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : kDefaultSeconds;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds > 0 ? seconds : kDefaultSeconds);

    PrintingView view;
    tessarin::UnitLink link(view);
    // The probe's own look at the list, to tell when a tick began with the port's value missing.
    const auto listing = tessarin::MakeSystemPortListing();

    link.Discover();
    std::string foundName;
    std::string lastValues;
    bool modemProbed = false;
    bool goneReported = false;
    int tick = 0;
    auto nextConnect = Clock::now();
    std::string reason = "time-out";
    while (Clock::now() < deadline) {
        std::error_code ignored;
        if (std::filesystem::exists(stopFile, ignored)) {
            reason = "stopped";
            break;
        }
        if (Clock::now() >= nextConnect) {
            nextConnect += kConnectInterval;
            ++tick;
            const std::string name = link.Data().PortDevName;
            const bool listedBefore =
                !name.empty() &&
                !listing->ReadRegText(tessarin::kHkeyLocalMachine, tessarin::kSerialCommKey, name).empty();
            const bool wasOnLine = view.LinkText() == kOnLine;
            link.ConnectTick();
            if (wasOnLine && !listedBefore && !goneReported) {
                goneReported = true;
                printLine("gone-before-tick " + std::to_string(tick) + " link-after " + view.LinkText());
            }
            if (view.LinkText() == kOnLine) {
                goneReported = false;
            }
            const auto& data = link.Data();
            if (data.LinkUp != 0 && data.PortDevName != foundName) {
                foundName = data.PortDevName;
                printLine("found " + foundName + " COM" + std::to_string(data.PortNo));
            }
            if (data.LinkUp != 0 && !modemProbed) {
                if (auto* comm = dynamic_cast<tessarin::classComm*>(link.Comm())) {
                    modemProbed = true;
                    printLine(probeModemLines(*comm));
                }
            }
        }
        while (link.ReceiveTick()) {
        }
        const std::string values = valuesLine(link.Data().NowValue);
        if (!link.Data().NowValue.FreqText.empty() && values != lastValues) {
            lastValues = values;
            printLine(values);
        }
        std::this_thread::sleep_for(kReceiveInterval);
    }
    link.ClosePort();
    printLine("end " + reason);
    return 0;
}
