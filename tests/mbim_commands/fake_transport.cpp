// fake_transport.cpp — see fake_transport.h.
#include "fake_transport.h"

#include <cstdlib>
#include <cstring>
#include <deque>

#include "mbim_ctx/exchange.h"
#include "byte_order/byte_order.h"

namespace fake_transport {
namespace {

std::deque<Reply> g_script;
std::vector<std::vector<uint8_t>> g_requests;
std::vector<uint32_t> g_timeouts;
int g_null_requests = 0;

}  // namespace

void reset() {
  g_script.clear();
  g_requests.clear();
  g_timeouts.clear();
  g_null_requests = 0;
}

void push(Reply reply) { g_script.push_back(std::move(reply)); }
std::vector<std::vector<uint8_t>> requests() { return g_requests; }
std::vector<uint32_t> timeouts() { return g_timeouts; }
int null_requests() { return g_null_requests; }

}  // namespace fake_transport

namespace tessel {

int send_and_wait(const uint8_t* request, uint8_t** response, uint32_t timeout_s) {
  using namespace fake_transport;
  if (request == nullptr) {
    ++g_null_requests;
    return -19;
  }
  if (response != nullptr) *response = nullptr;
  const uint32_t length = get_le32(request + 4);
  g_requests.emplace_back(request, request + length);
  g_timeouts.push_back(timeout_s);
  if (g_script.empty()) return 110;  // nobody answers
  Reply reply = std::move(g_script.front());
  g_script.pop_front();
  if (reply.err != 0) return reply.err;
  if (response == nullptr) return 0;
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(reply.response.size() + 1));
  if (copy == nullptr) return -19;
  if (!reply.response.empty()) std::memcpy(copy, reply.response.data(), reply.response.size());
  *response = copy;
  return 0;
}

int send_request(const uint8_t* request, uint8_t** response) {
  return send_and_wait(request, response, kDefaultTimeoutSeconds);
}

}  // namespace tessel
