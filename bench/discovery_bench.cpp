// What port discovery costs a tick of tmrComConnect on this machine, through the system's own serial-port
// list: the search over "\Device\VCP0".."\Device\VCP99" while no port is listed (every tick while the unit
// is unplugged), and the presence check of a listed port (every tick while linked). Figures only.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_setup.h"
#include "data/device_data.h"
#include "link/port_discovery.h"
#include "link/port_listing.h"
#include "link/serial_port_list.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Work>
double MicrosEach(int times, Work work) {
    const auto start = Clock::now();
    for (int i = 0; i < times; ++i) {
        work();
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / times;
}

}  // namespace

int main() {
    const auto folder = tessarin::bench::UsePrivatePortList();
    if (!folder) {
        return 1;
    }
    const auto listing = tessarin::MakeSystemPortListing();
    tessarin::DeviceData data;
    std::string name;

    const double search = MicrosEach(200, [&] { (void)tessarin::FindUnitPort(*listing, data, name); });
    const auto list = tessarin::SerialPortListFolder();
    std::filesystem::create_directories(list);
    std::ofstream(list / "VCP0") << "COM20\n/dev/pts/0\n";
    const std::string value = "\\Device\\VCP0";
    const double present = MicrosEach(2000, [&] { (void)tessarin::UnitPortPresent(*listing, data, value); });

    const bool ftdiLoaded = std::filesystem::exists(tessarin::FtdiDriverFolder(tessarin::kSysfsTtyRoot));
    std::printf("port discovery through the system's serial-port list (ftdi_sio driver %s)\n",
                ftdiLoaded ? "loaded" : "not loaded");
    std::printf("search of VCP0..VCP99 with nothing listed: %.0f us per tick\n", search);
    std::printf("presence check of a listed port: %.1f us per tick\n", present);

    std::error_code ignored;
    std::filesystem::remove_all(*folder, ignored);
    return 0;
}
