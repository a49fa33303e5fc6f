// The simulator as a USB MBIM device, without a kernel: the test plays
// vhci_hcd on one end of a socket pair while the device engine serves the
// other end in a thread. USB/IP headers are built here by hand (every word
// big-endian) and the device's replies are checked byte for byte.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "modem_sim/knobs.h"
#include "modem_sim/options.h"
#include "modem_sim/sim_state.h"
#include "modem_sim/usb_control.h"
#include "modem_sim/usbip_device.h"
#include "modem_sim/wire_log.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace sim = tessel::sim;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes be32(uint32_t v) {
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
Bytes le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// A setup packet: bmRequestType, bRequest, then wValue, wIndex, wLength little-endian.
Bytes setup(uint8_t type, uint8_t request, uint16_t value, uint16_t index, uint16_t length) {
  return {type, request, uint8_t(value), uint8_t(value >> 8), uint8_t(index), uint8_t(index >> 8),
          uint8_t(length), uint8_t(length >> 8)};
}

constexpr uint32_t kOut = 0;
constexpr uint32_t kIn = 1;

// USBIP_CMD_SUBMIT as vhci_hcd sends it: command, seqnum, devid, direction,
// ep, transfer_flags, transfer_buffer_length, start_frame, number_of_packets,
// interval, setup, then an OUT transfer's data.
Bytes submit(uint32_t seqnum, uint32_t direction, uint32_t ep, uint32_t length,
             const Bytes& setup_packet = Bytes(8, 0), const Bytes& data = {}) {
  return be32(1) + be32(seqnum) + be32(0x00010001) + be32(direction) + be32(ep) +
         be32(direction == kIn ? 0x200 : 0) + be32(length) + be32(0) + be32(0) + be32(0) +
         setup_packet + data;
}

// USBIP_CMD_UNLINK: command 2, seqnum, devid, direction 0, ep 0, the
// seqnum to unlink, 24 bytes of padding.
Bytes unlink(uint32_t seqnum, uint32_t victim) {
  return be32(2) + be32(seqnum) + be32(0x00010001) + be32(0) + be32(0) + be32(victim) +
         Bytes(24, 0);
}

// USBIP_RET_SUBMIT as the device must send it: command 3, seqnum, devid,
// direction and ep 0, status, actual_length, start_frame, number_of_packets
// and error_count 0, 8 bytes of padding, then an IN transfer's data.
Bytes ret_submit(uint32_t seqnum, int32_t status, uint32_t actual, const Bytes& data = {}) {
  return be32(3) + be32(seqnum) + be32(0) + be32(0) + be32(0) + be32(uint32_t(status)) +
         be32(actual) + Bytes(20, 0) + data;
}

// Class requests to interface 0.
Bytes send_encapsulated(uint16_t length) { return setup(0x21, 0x00, 0, 0, length); }
Bytes get_encapsulated(uint16_t length) { return setup(0xa1, 0x01, 0, 0, length); }

// MBIM_OPEN_MSG: MessageType 1, MessageLength 16, TransactionId 1, MaxControlTransfer 4096.
const Bytes kOpen = le32(1) + le32(16) + le32(1) + le32(4096);
// MBIM_OPEN_DONE: MessageType 0x80000001, MessageLength 16, TransactionId 1, Status 0.
const Bytes kOpenDone = le32(0x80000001) + le32(16) + le32(1) + le32(0);
// RESPONSE_AVAILABLE: class/interface/IN, notification 1, wValue 0, wIndex 0, wLength 0.
const Bytes kNotification = {0xa1, 0x01, 0, 0, 0, 0, 0, 0};

// The device engine on one end of a socket pair; the test holds the other.
class UsbDevice : public ::testing::Test {
 protected:
  void start() {
    state_ = std::make_unique<sim::SimState>(options_);
    knobs_ = std::make_unique<sim::Knobs>(options_);
    ctx_ = std::make_unique<sim::ServerContext>(sim::ServerContext{
        &options_, state_.get(), knobs_.get(), &log_, std::mt19937(1), false});
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    kernel_ = ends[0];
    device_fd_ = ends[1];
    device_ = std::make_unique<sim::UsbipDevice>(ctx_.get());
    thread_ = std::thread([this] { end_ = device_->serve(device_fd_); });
  }

  // Waits for the device to end, after closing the kernel's end unless the
  // device ends by itself.
  sim::UsbEnd finish(bool close_kernel_end = true) {
    if (close_kernel_end && kernel_ >= 0) {
      close(kernel_);
      kernel_ = -1;
    }
    if (thread_.joinable()) thread_.join();
    return end_;
  }

  void TearDown() override {
    finish();
    if (device_fd_ >= 0) close(device_fd_);
  }

  void put(const Bytes& pdu) {
    ASSERT_EQ(write(kernel_, pdu.data(), pdu.size()), ssize_t(pdu.size()));
  }

  // Up to `n` bytes, whatever arrived before 2 s of silence or the end.
  Bytes get(size_t n) {
    Bytes got;
    while (got.size() < n) {
      pollfd p{kernel_, POLLIN, 0};
      if (poll(&p, 1, 2000) != 1) break;
      uint8_t chunk[4096];
      const ssize_t r = read(kernel_, chunk, std::min(sizeof chunk, n - got.size()));
      if (r <= 0) break;
      got.insert(got.end(), chunk, chunk + r);
    }
    return got;
  }

  // True when nothing arrives for `ms` milliseconds.
  bool silent_for(int ms) {
    pollfd p{kernel_, POLLIN, 0};
    return poll(&p, 1, ms) == 0;
  }

  sim::Options options_;
  sim::WireLog log_;  // no file: nothing logged
  std::unique_ptr<sim::SimState> state_;
  std::unique_ptr<sim::Knobs> knobs_;
  std::unique_ptr<sim::ServerContext> ctx_;
  std::unique_ptr<sim::UsbipDevice> device_;
  std::thread thread_;
  sim::UsbEnd end_ = sim::UsbEnd::kHostGone;
  int kernel_ = -1;
  int device_fd_ = -1;
};

Bytes utf16(const std::string& text) {
  Bytes b;
  for (char c : text) b.insert(b.end(), {uint8_t(c), 0});
  return b;
}

TEST(UsbDescriptors, EnumerationAndBindRequestsGetTheBytesCdcMbimNeeds) {
  const Bytes configuration = {
      9, 0x02, 79, 0, 2, 1, 0, 0x80, 250,  // configuration: 79 bytes in all, 2 interfaces, value 1
      9, 0x04, 0, 0, 1, 0x02, 0x0e, 0x00, 4,  // interface 0 alt 0: 1 endpoint, CDC/MBIM/0, string 4
      5, 0x24, 0x00, 0x10, 0x01,              // CDC header, bcdCDC 1.10
      5, 0x24, 0x06, 0, 1,                    // union: interface 0 controls interface 1
      12, 0x24, 0x1b, 0x00, 0x01,             // MBIM functional: bcdMBIMVersion 1.00
      0x00, 0x10,                             //   wMaxControlMessage 4096
      16, 128, 0xdc, 0x05, 0x00,              //   filters 16 x 128, wMaxSegmentSize 1500, caps 0
      7, 0x05, 0x81, 0x03, 64, 0, 9,          // endpoint 0x81 interrupt, 64 bytes, bInterval 9
      9, 0x04, 1, 0, 0, 0x0a, 0x00, 0x02, 0,  // interface 1 alt 0: no endpoints, data / NTB
      9, 0x04, 1, 1, 2, 0x0a, 0x00, 0x02, 0,  // interface 1 alt 1: 2 endpoints, data / NTB
      7, 0x05, 0x82, 0x02, 0x00, 0x02, 0,     // endpoint 0x82 bulk IN, 512 bytes
      7, 0x05, 0x02, 0x02, 0x00, 0x02, 0,     // endpoint 0x02 bulk OUT, 512 bytes
  };
  struct Case {
    const char* what;
    Bytes setup;
    bool stall;
    Bytes expected;
  };
  const Case cases[] = {
      {"device, as first asked with wLength 64", setup(0x80, 6, 0x0100, 0, 64), false,
       {18, 0x01,      // bLength, DEVICE
        0x00, 0x02,    // bcdUSB 2.00
        0, 0, 0,       // class, subclass, protocol: per interface
        64,            // bMaxPacketSize0
        0x09, 0x12,    // idVendor 0x1209
        0x01, 0x00,    // idProduct 0x0001
        0x00, 0x01,    // bcdDevice 1.00
        1, 2, 3,       // manufacturer, product, serial strings
        1}},           // bNumConfigurations
      {"configuration header only", setup(0x80, 6, 0x0200, 0, 9), false,
       Bytes(configuration.begin(), configuration.begin() + 9)},
      {"whole configuration", setup(0x80, 6, 0x0200, 0, 255), false, configuration},
      {"languages", setup(0x80, 6, 0x0300, 0, 255), false, {4, 0x03, 0x09, 0x04}},  // US English
      {"product", setup(0x80, 6, 0x0302, 0x0409, 255), false,
       Bytes{44, 0x03} + utf16("tessel-modem-sim MBIM")},
      {"a string the device lacks", setup(0x80, 6, 0x0305, 0x0409, 255), true, {}},
      {"device qualifier of a high-speed-only device", setup(0x80, 6, 0x0600, 0, 10), true, {}},
      {"GET_NTB_PARAMETERS, which cdc_ncm requires", setup(0xa1, 0x80, 0, 0, 28), false,
       {28, 0,            // wLength
        0x01, 0,          // bmNtbFormatsSupported: NTB16
        0, 0x40, 0, 0,    // dwNtbInMaxSize 16384
        4, 0, 0, 0, 4, 0, // wNdpInDivisor, wNdpInPayloadRemainder, wNdpInAlignment
        0, 0,             // wPadding1
        0, 0x40, 0, 0,    // dwNtbOutMaxSize 16384
        4, 0, 0, 0, 4, 0, // wNdpOutDivisor, wNdpOutPayloadRemainder, wNdpOutAlignment
        0, 0}},           // wNtbOutMaxDatagrams
      {"SET_INTERFACE data alt 2, which does not exist", setup(0x01, 11, 2, 1, 0), true, {}},
  };
  auto packet = [](const Bytes& b) {
    return sim::SetupPacket{b[0], b[1], uint16_t(b[2] | b[3] << 8), uint16_t(b[4] | b[5] << 8),
                            uint16_t(b[6] | b[7] << 8)};
  };
  sim::UsbControl control;
  ASSERT_FALSE(control.handle(packet(setup(0x00, 9, 1, 0, 0)), {}).stall);  // SET_CONFIGURATION 1
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const sim::ControlReply reply = control.handle(packet(c.setup), {});
    EXPECT_EQ(reply.stall, c.stall);
    EXPECT_EQ(reply.data, c.expected);
  }
}

TEST_F(UsbDevice, OpenTravelsAsEncapsulatedCommandAndItsDoneAfterTheNotification) {
  start();
  put(submit(1, kOut, 0, 0, setup(0x00, 9, 1, 0, 0)));  // SET_CONFIGURATION 1
  // command 3, seqnum 1, devid/direction/ep 0, status 0, actual_length 0,
  // start_frame, number_of_packets, error_count 0, padding.
  EXPECT_EQ(get(48), be32(3) + be32(1) + be32(0) + be32(0) + be32(0) + be32(0) + be32(0) +
                         be32(0) + be32(0) + be32(0) + Bytes(8, 0));
  put(submit(2, kIn, 1, 64));  // cdc-wdm's interrupt transfer, held
  put(submit(3, kOut, 0, 16, send_encapsulated(16), kOpen));
  EXPECT_EQ(get(48), ret_submit(3, 0, 16));      // the device has the 16 bytes
  EXPECT_EQ(get(56), ret_submit(2, 0, 8, kNotification));
  put(submit(4, kIn, 0, 4096, get_encapsulated(4096)));
  EXPECT_EQ(get(64), ret_submit(4, 0, 16, kOpenDone));
  // One notification, one message: the next request finds nothing.
  put(submit(5, kIn, 0, 4096, get_encapsulated(4096)));
  EXPECT_EQ(get(48), ret_submit(5, 0, 0));
}

TEST_F(UsbDevice, UnlinkedTransferIsAnsweredByRetUnlinkAndNeverCompleted) {
  start();
  put(submit(1, kIn, 1, 64));   // interrupt IN
  put(submit(2, kIn, 2, 512));  // bulk IN
  put(unlink(3, 1));
  // command 4, seqnum 3 (the unlink's own), devid/direction/ep 0, status
  // -ECONNRESET, 24 bytes of padding.
  EXPECT_EQ(get(48), be32(4) + be32(3) + be32(0) + be32(0) + be32(0) + be32(uint32_t(-104)) +
                         Bytes(24, 0));
  put(unlink(4, 2));
  EXPECT_EQ(get(48), be32(4) + be32(4) + Bytes(12, 0) + be32(uint32_t(-104)) + Bytes(24, 0));
  put(unlink(5, 77));  // nothing held under 77: completed before, status 0
  EXPECT_EQ(get(48), be32(4) + be32(5) + Bytes(12, 0) + be32(0) + Bytes(24, 0));
  // The answer to an open is owed a notification, which must not go to seqnum 1.
  put(submit(6, kOut, 0, 16, send_encapsulated(16), kOpen));
  EXPECT_EQ(get(48), ret_submit(6, 0, 16));
  EXPECT_TRUE(silent_for(200));
  put(submit(7, kIn, 1, 64));
  EXPECT_EQ(get(56), ret_submit(7, 0, 8, kNotification));
}

// A single-fragment QMBE command (CID 25, set) carrying one DIAG frame.
Bytes diag_write(uint32_t tid, const Bytes& frame) {
  const Bytes qmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                      0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
  return le32(3) + le32(uint32_t(48 + frame.size())) + le32(tid) + le32(1) + le32(0) + qmbe +
         le32(25) + le32(1) + le32(uint32_t(frame.size())) + frame;
}

TEST_F(UsbDevice, UnplugAfterChunkStoresTheChunkAndLeavesBeforeAnsweringIt) {
  options_.unplug_after_chunk = 2;
  start();
  // Item 48001, first chunk "abc": DIAG 4B 0B 0024, write 0278, zero words,
  // item, n = 3, first-chunk flag 0, data, FCS 0x290D, flag.
  const Bytes chunk1 = {0x4b, 0x0b, 0x24, 0x00, 0x78, 0x02, 0, 0, 0, 0, 0x81, 0xbb, 0x03, 0x00,
                        0x00, 'a', 'b', 'c', 0x0d, 0x29, 0x7e};
  // The next chunk, 7E 7D escaped, flag 1 (appended), FCS 0x2FFB.
  const Bytes chunk2 = {0x4b, 0x0b, 0x24, 0x00, 0x78, 0x02, 0, 0, 0, 0, 0x81, 0xbb, 0x02, 0x00,
                        0x01, 0x7d, 0x5e, 0x7d, 0x5d, 0xfb, 0x2f, 0x7e};
  put(submit(1, kIn, 1, 64));
  const Bytes m1 = diag_write(1, chunk1);
  put(submit(2, kOut, 0, uint32_t(m1.size()), send_encapsulated(uint16_t(m1.size())), m1));
  EXPECT_EQ(get(48), ret_submit(2, 0, uint32_t(m1.size())));
  EXPECT_EQ(get(56), ret_submit(1, 0, 8, kNotification));  // chunk 1 is answered
  put(submit(3, kIn, 1, 64));
  const Bytes m2 = diag_write(2, chunk2);
  put(submit(4, kOut, 0, uint32_t(m2.size()), send_encapsulated(uint16_t(m2.size())), m2));
  EXPECT_EQ(get(48), ret_submit(4, 0, uint32_t(m2.size())));
  // The device leaves by itself; closing its end is the unplug vhci_hcd sees.
  EXPECT_EQ(finish(false), sim::UsbEnd::kUnplugged);
  close(device_fd_);
  device_fd_ = -1;
  EXPECT_EQ(get(1), Bytes{});  // end of stream: interrupt seqnum 3 never completed
  EXPECT_EQ(state_->tables[0xbb81], (Bytes{'a', 'b', 'c', 0x7e, 0x7d}));
}

}  // namespace
