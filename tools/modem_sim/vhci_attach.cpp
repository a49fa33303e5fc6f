// vhci_attach.cpp — the sysfs side of a plug.
#include "modem_sim/vhci_attach.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "modem_sim/fd_guard.h"
#include "modem_sim/notes.h"
#include "modem_sim/stop_signal.h"

namespace tessel::sim {
namespace {

constexpr char kVhciDir[] = "/sys/devices/platform/vhci_hcd.0";
constexpr uint32_t kPortFree = 4;    // VDEV_ST_NULL
constexpr uint32_t kSpeedHigh = 3;   // USB_SPEED_HIGH
constexpr char kHighSpeedMbps[] = "480";
constexpr int kPollStepMs = 20;

// The whole of a small file, or false.
bool read_text(const std::string& path, std::string* out) {
  FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  out->clear();
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out->append(buffer, static_cast<size_t>(n));
  }
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

// The bus number of vhci_hcd.0's high-speed root hub (it also has a
// SuperSpeed one): the usbN directory whose speed is 480.
bool high_speed_bus(std::string* busnum) {
  DIR* dir = ::opendir(kVhciDir);
  if (dir == nullptr) return false;
  bool found = false;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, "usb", 3) != 0) continue;
    const std::string hub = std::string(kVhciDir) + "/" + entry->d_name;
    std::string speed;
    if (read_text(hub + "/speed", &speed) && first_line(speed) == kHighSpeedMbps &&
        read_text(hub + "/busnum", busnum)) {
      *busnum = first_line(*busnum);
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The first three columns of one port's line of the status file.
struct PortLine {
  char hub[8] = {};  // "hs" or "ss"
  unsigned int port = 0;
  unsigned int state = 0;
};

// The port lines of the status file's text; the heading and anything else
// that does not start with a hub, a port and a state are passed over.
std::vector<PortLine> port_lines(const std::string& status) {
  std::vector<PortLine> ports;
  std::istringstream lines(status);
  std::string line;
  while (std::getline(lines, line)) {
    PortLine p;
    if (std::sscanf(line.c_str(), "%7s %u %u", p.hub, &p.port, &p.state) == 3) ports.push_back(p);
  }
  return ports;
}

bool port_state(uint32_t port, uint32_t* state) {
  std::string status;
  if (!read_text(std::string(kVhciDir) + "/status", &status)) return false;
  for (const PortLine& p : port_lines(status)) {
    if (p.port == port) {
      *state = p.state;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<uint32_t> free_high_speed_ports(const std::string& status) {
  std::vector<uint32_t> ports;
  for (const PortLine& p : port_lines(status)) {
    if (std::strcmp(p.hub, "hs") == 0 && p.state == kPortFree) ports.push_back(p.port);
  }
  return ports;
}

int vhci_attach(int kernel_fd, uint32_t devid, VhciPlug* out) {
  std::string status;
  if (!read_text(std::string(kVhciDir) + "/status", &status)) {
    note("cannot read %s/status: %s; is vhci_hcd loaded? (modprobe vhci-hcd: the simulator "
         "never loads modules itself)",
         kVhciDir, std::strerror(errno));
    return -1;
  }
  std::string busnum;
  if (!high_speed_bus(&busnum)) {
    note("no high-speed root hub under %s", kVhciDir);
    return -1;
  }
  const std::vector<uint32_t> ports = free_high_speed_ports(status);
  for (uint32_t port : ports) {
    char request[64];
    const int length = std::snprintf(request, sizeof request, "%u %d %u %u", port, kernel_fd,
                                     devid, kSpeedHigh);
    FdGuard attach(::open((std::string(kVhciDir) + "/attach").c_str(), O_WRONLY | O_CLOEXEC));
    if (!attach.valid()) {
      note("cannot open %s/attach: %s", kVhciDir, std::strerror(errno));
      return -1;
    }
    if (::write(attach.get(), request, static_cast<size_t>(length)) == length) {
      out->port = port;
      out->busid = busnum + "-" + std::to_string(port + 1);
      return 0;
    }
    // Another attach took the port between our read and our write.
    if (errno == EBUSY) continue;
    note("vhci_hcd refused \"%s\": %s", request, std::strerror(errno));
    return -1;
  }
  note("vhci_hcd has no free high-speed port (%zu checked)", ports.size());
  return -1;
}

bool vhci_wait_port_free(uint32_t port, int timeout_ms) {
  const int64_t deadline = monotonic_ms() + timeout_ms;
  for (;;) {
    uint32_t state = 0;
    if (port_state(port, &state) && state == kPortFree) return true;
    if (monotonic_ms() >= deadline) return false;
    ::usleep(kPollStepMs * 1000);
  }
}

}  // namespace tessel::sim
