// protocol_log.h — the source tag of the log records that the message formats
// and the commands write.
//
// The two floors write under the one tag their records have always carried,
// so log readers and scripts that filter on it see no change.
#ifndef TESSEL_MBIM_FORMAT_PROTOCOL_LOG_H_
#define TESSEL_MBIM_FORMAT_PROTOCOL_LOG_H_

namespace tessel {

constexpr char kProtocolLogFile[] = "src/mbim_protocol";

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_PROTOCOL_LOG_H_
