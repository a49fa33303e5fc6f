// diag_log.h — how every module of the tool writes a record to the platform log.
//
// A record is a constant per call site (line, subsystem 88, level, format,
// source file) handed to the library by address, so each macro below expands
// to a function-local static record and one library call. A module names its
// source file once, at the top of its .cpp:
//
//   TESSEL_LOG_MODULE("src/api");
//   ...
//   LOG_NUM(LOG_ERROR, "[tessel] write ret = %d", ret);
//
// Which library call a record uses follows from its arguments:
//   LOG_MSG  — no values                 → msg_send
//   LOG_NUM  — 1, 2 or 3 values          → msg_send_1 / _2 / _3
//              4 or more                 → msg_send_var with the count
//   LOG_TXT  — printf arguments ("%s")   → msg_sprintf
// A record kept in a table row instead (LOG_RECORD, below) goes out through
// send_record_1 or send_text_record.
// Numeric values travel as 32-bit words (integers, or addresses cut to 32
// bits on a 64-bit host), whatever the format's length modifier says. The
// platform's decoder cannot resolve a %s from a 32-bit word, so a LOG_NUM
// whose format holds one does not compile.
//
// --quiet drops every record below the error level here, before the library
// is called, so it holds with the platform's own library as with the host
// stand-in (log_errors_only). LOG_MSG and LOG_NUM reach the library through
// the out-of-line send_record calls, which check the level once for all
// their call sites; LOG_TXT checks at its call site, since msg_sprintf has
// no form that takes a va_list, and a dropped LOG_TXT's arguments are not
// evaluated.
#ifndef TESSEL_DIAG_LOG_DIAG_LOG_H_
#define TESSEL_DIAG_LOG_DIAG_LOG_H_

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "libdiag.h"

namespace tessel {

constexpr uint16_t kLogSubsystem = 88;
constexpr uint32_t kLogNormal = 2;
constexpr uint32_t kLogError = 8;

// Set by the front end (--quiet) before Init starts the reader thread, read
// by both threads at every record.
inline std::atomic<bool> g_log_errors_only{false};

// From now on only error-level records reach the library.
inline void log_errors_only(bool on) { g_log_errors_only.store(on, std::memory_order_relaxed); }

inline bool log_level_shown(uint32_t level) {
  return (level & kLogError) != 0 || !g_log_errors_only.load(std::memory_order_relaxed);
}

template <typename T>
constexpr uint32_t log_word(T v) {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(v));
  } else {
    return static_cast<uint32_t>(v);
  }
}

// True when `fmt` holds a %s conversion (flags, width and precision
// allowed between the two; "%%" is a plain percent sign).
constexpr bool has_text_conversion(const char* fmt) {
  constexpr char kBetween[] = "-+ #0123456789.*";
  for (; *fmt != '\0'; ++fmt) {
    if (*fmt != '%') continue;
    ++fmt;
    if (*fmt == '%') continue;
    for (bool more = true; more && *fmt != '\0';) {
      more = false;
      for (const char* b = kBetween; *b != '\0'; ++b) {
        if (*fmt == *b) {
          more = true;
          ++fmt;
          break;
        }
      }
    }
    if (*fmt == 's') return true;
    if (*fmt == '\0') return false;
  }
  return false;
}

// msg_send and msg_send_1 to _3, called only when log_level_shown lets the
// record through (diag_log.cpp).
void send_record(const msg_const_type* rec);
void send_record_1(const msg_const_type* rec, uint32_t a);
void send_record_2(const msg_const_type* rec, uint32_t a, uint32_t b);
void send_record_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c);

// msg_sprintf of a record whose format takes one "%s", `text`, when
// log_level_shown lets the record through: a LOG_TXT for a record kept in a
// table (LOG_RECORD).
void send_text_record(const msg_const_type* rec, const char* text);

template <typename... V>
inline void log_values(const msg_const_type* rec, V... v) {
  constexpr uint32_t n = sizeof...(V);
  static_assert(n >= 1, "use LOG_MSG for a record without values");
  if constexpr (n == 1) {
    send_record_1(rec, log_word(v)...);
  } else if constexpr (n == 2) {
    send_record_2(rec, log_word(v)...);
  } else if constexpr (n == 3) {
    send_record_3(rec, log_word(v)...);
  } else if (log_level_shown(rec->ss_mask)) {
    msg_send_var(rec, n, log_word(v)...);
  }
}

}  // namespace tessel

#define LOG_NORMAL ::tessel::kLogNormal
#define LOG_ERROR ::tessel::kLogError

#define TESSEL_LOG_MODULE(file) \
  namespace { [[maybe_unused]] constexpr const char* kTesselLogFile = file; }

// The record of a call site on this line. Written alone, it keeps a record
// in a table, for code that shows a run of like fields with one loop (the
// message dump's decoders): each row has its own record, as if its LOG_NUM
// or LOG_TXT were written out, with the row's line as its call site. The
// row is sent with send_record_1 or send_text_record.
#define LOG_RECORD(level, fmt)                                                  \
  msg_const_type {                                                              \
    static_cast<uint16_t>(__LINE__), ::tessel::kLogSubsystem, (level), (fmt), \
        kTesselLogFile                                                          \
  }

#define TESSEL_LOG_RECORD_(name, level, fmt) \
  static const msg_const_type name = LOG_RECORD(level, fmt)

#define LOG_MSG(level, fmt)                         \
  do {                                              \
    TESSEL_LOG_RECORD_(tessel_rec_, level, fmt);    \
    ::tessel::send_record(&tessel_rec_);            \
  } while (0)

#define LOG_NUM(level, fmt, ...)                                                    \
  do {                                                                              \
    static_assert(!::tessel::has_text_conversion(fmt), "a %s record needs LOG_TXT"); \
    TESSEL_LOG_RECORD_(tessel_rec_, level, fmt);                                    \
    ::tessel::log_values(&tessel_rec_, __VA_ARGS__);                                \
  } while (0)

// The dead printf call lets the compiler check the arguments against the
// format, as it would for printf itself.
#define LOG_TXT(level, fmt, ...)                  \
  do {                                            \
    if (!::tessel::log_level_shown(level)) break; \
    TESSEL_LOG_RECORD_(tessel_rec_, level, fmt);  \
    if (false) std::printf(fmt, __VA_ARGS__);     \
    msg_sprintf(&tessel_rec_, __VA_ARGS__);       \
  } while (0)

#endif  // TESSEL_DIAG_LOG_DIAG_LOG_H_
