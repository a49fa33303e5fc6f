// libdiag.h — the platform's DIAG logging library, as this tool calls it.
//
// On the target the modem platform ships libdiag.so.1 without public headers;
// these declarations are ours, written so that the platform's library links
// unchanged. The record layout is the library's: line, subsystem id, level
// mask, format, source file, in that order. The library keeps a pointer to the
// record, so every record must have static storage (see src/diag_log).
//
// On the host, platform/libdiag/stderr_log.cpp stands in for the library and
// tests link tests/support/capture_log.cpp instead.
#ifndef TESSEL_PLATFORM_LIBDIAG_H_
#define TESSEL_PLATFORM_LIBDIAG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  uint16_t line;     // source line of the call site
  uint16_t ss_id;    // subsystem id; 88 for every record of this tool
  uint32_t ss_mask;  // level mask: 2 normal, 8 error
  const char* fmt;   // printf-style format, always beginning "[tessel] "
  const char* fname; // source file of the call site, e.g. "src/main"
} msg_const_type;

// Opens the channel; the argument is always null. Non-zero on success.
unsigned char Diag_LSM_Init(unsigned char* unused);
unsigned char Diag_LSM_DeInit(void);

// Each value is one 32-bit word, one per conversion of the format, in order.
void msg_send(const msg_const_type* rec);
void msg_send_1(const msg_const_type* rec, uint32_t a);
void msg_send_2(const msg_const_type* rec, uint32_t a, uint32_t b);
void msg_send_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c);
void msg_send_var(const msg_const_type* rec, uint32_t count, ...);

// Formats in the calling process, as printf does; used for records with "%s".
void msg_sprintf(const msg_const_type* rec, ...);

#ifdef __cplusplus
}
#endif

#endif  // TESSEL_PLATFORM_LIBDIAG_H_
