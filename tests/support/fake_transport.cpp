// fake_transport.cpp — see fake_transport.h.
#include "fake_transport.h"

#include <cstdlib>
#include <cstring>
#include <deque>

#include "byte_order/byte_order.h"
#include "transport/exchange.h"

#if defined(__has_include)
#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif
#endif
#ifndef ASAN_POISON_MEMORY_REGION
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace fake_transport {
namespace {

std::deque<Reply> g_script;
std::vector<std::vector<uint8_t>> g_requests;
std::vector<uint32_t> g_timeouts;
int g_null_requests = 0;
tessel::Road g_road = tessel::Road::kNone;

// The response as the transport hands it over: its bytes, then one poisoned.
uint8_t* handover_block(const std::vector<uint8_t>& response) {
  uint8_t* block = static_cast<uint8_t*>(std::calloc(1, response.size() + 1));
  if (block == nullptr) return nullptr;
  if (!response.empty()) std::memcpy(block, response.data(), response.size());
  ASAN_POISON_MEMORY_REGION(block + response.size(), 1);
  return block;
}

}  // namespace

void reset() {
  g_script.clear();
  g_requests.clear();
  g_timeouts.clear();
  g_null_requests = 0;
  g_road = tessel::Road::kNone;
}

void set_road(tessel::Road road) { g_road = road; }

void push(Reply reply) { g_script.push_back(std::move(reply)); }
std::vector<std::vector<uint8_t>> requests() { return g_requests; }
std::vector<uint32_t> timeouts() { return g_timeouts; }
int null_requests() { return g_null_requests; }

}  // namespace fake_transport

namespace tessel {

Status send_and_wait(const uint8_t* request, uint8_t** response, uint32_t timeout_s) {
  using namespace fake_transport;
  if (request == nullptr) {
    ++g_null_requests;
    return Code::kNoChannel;
  }
  if (response != nullptr) *response = nullptr;
  // Little-endian u32 fields: 0 MessageType, 4 MessageLength, 8 TransactionId;
  // a COMMAND_MSG (3) has its InformationBufferLength at 44, after 48 bytes of header.
  const uint32_t length = get_le32(request + 4);
  if (get_le32(request) == 3 && length != 48 + get_le32(request + 44)) __builtin_trap();
  g_requests.emplace_back(request, request + length);
  g_timeouts.push_back(timeout_s);
  if (g_script.empty()) return Code::kTimedOut;  // nobody answers
  Reply reply = std::move(g_script.front());
  g_script.pop_front();
  if (!reply.err.ok() || response == nullptr) return reply.err;
  if (reply.answers_request && reply.response.size() >= 12)
    put_le32(&reply.response[8], get_le32(request + 8));
  *response = handover_block(reply.response);
  return *response == nullptr ? Code::kNoChannel : Code::kOk;
}

Road ctx_road() { return fake_transport::g_road; }

Status send_request(const uint8_t* request, uint8_t** response) {
  return send_and_wait(request, response, kDefaultTimeoutSeconds);
}

}  // namespace tessel
