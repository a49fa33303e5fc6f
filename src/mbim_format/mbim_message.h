// mbim_message.h — the MBIM control messages this tool builds and reads.
//
// Every field is a little-endian u32 unless noted; offsets from the first
// byte of the message. A message is one contiguous block of exactly
// MessageLength bytes. Readers and writers use these names, never bare
// numbers, so each layout can be held against a hex dump here.
#ifndef TESSEL_MBIM_FORMAT_MBIM_MESSAGE_H_
#define TESSEL_MBIM_FORMAT_MBIM_MESSAGE_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace tessel {

// MessageType values, one set as in libmbim's MbimMessageType; a message's
// field is read as a plain word and compared with them. The high bit marks
// the modem-to-host direction.
enum MessageType : uint32_t {
  MBIM_OPEN_MSG = 0x00000001,
  MBIM_CLOSE_MSG = 0x00000002,
  MBIM_COMMAND_MSG = 0x00000003,
  MBIM_HOST_ERROR_MSG = 0x00000004,
  MBIM_OPEN_DONE = 0x80000001,
  MBIM_CLOSE_DONE = 0x80000002,
  MBIM_COMMAND_DONE = 0x80000003,
  MBIM_FUNCTION_ERROR_MSG = 0x80000004,
  MBIM_INDICATE_STATUS_MSG = 0x80000007,
};
constexpr uint32_t kModemToHostBit = 0x80000000;

// Header, the first 12 bytes of every message:
//   0  MessageType         4  MessageLength        8  TransactionId
constexpr size_t kMessageTypeOffset = 0;
constexpr size_t kMessageLengthOffset = 4;
constexpr size_t kTransactionIdOffset = 8;
constexpr size_t kHeaderSize = 12;

// MBIM_OPEN_MSG (16 bytes):    12  MaxControlTransfer
// MBIM_CLOSE_MSG (12 bytes):   header only
constexpr size_t kOpenMaxControlTransferOffset = 12;
constexpr size_t kOpenMessageSize = 16;
constexpr size_t kCloseMessageSize = 12;
constexpr uint32_t kMaxControlTransfer = 4096;

// MBIM_OPEN_DONE, MBIM_CLOSE_DONE:   12  Status
// MBIM_FUNCTION_ERROR_MSG:           12  ErrorStatusCode
constexpr size_t kDoneStatusOffset = 12;
constexpr size_t kErrorStatusCodeOffset = 12;

// MBIM_COMMAND_MSG (48 + n bytes) and MBIM_COMMAND_DONE:
//  12  TotalFragments        16  CurrentFragment      20  DeviceServiceId (16 bytes)
//  36  CID                   40  CommandType (command) / Status (done)
//  44  InformationBufferLength                        48  InformationBuffer
constexpr size_t kTotalFragmentsOffset = 12;
constexpr size_t kCurrentFragmentOffset = 16;
constexpr size_t kServiceIdOffset = 20;
constexpr size_t kServiceIdSize = 16;
constexpr size_t kCidOffset = 36;
constexpr size_t kCommandTypeOffset = 40;
constexpr size_t kCommandDoneStatusOffset = 40;
constexpr size_t kInfoLengthOffset = 44;
constexpr size_t kInfoOffset = 48;
constexpr size_t kCommandHeaderSize = 48;

constexpr uint32_t kCommandQuery = 0;
constexpr uint32_t kCommandSet = 1;

// MBIM_INDICATE_STATUS_MSG:
//  12  TotalFragments   16  CurrentFragment   20  DeviceServiceId (16 bytes)
//  36  CID              40  InformationBufferLength   44  InformationBuffer
constexpr size_t kIndicateInfoLengthOffset = 40;
constexpr size_t kIndicateInfoOffset = 44;

// One MBIM message in a block from the C allocator: requests from
// build_command, response copies from the transport. Freed with free().
struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using MessagePtr = std::unique_ptr<uint8_t, FreeDeleter>;

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_MBIM_MESSAGE_H_
