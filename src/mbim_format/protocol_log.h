// protocol_log.h — the source tag of the log records that the message formats
// and the commands write.
//
// There is no folder src/mbim_protocol: the message formats and the
// commands were once one subsystem of that name, and their records have
// always carried it. The two floors keep writing under it, so whoever
// selects the log's records by that tag (a journal filter, a script on a
// device) sees no change.
#ifndef TESSEL_MBIM_FORMAT_PROTOCOL_LOG_H_
#define TESSEL_MBIM_FORMAT_PROTOCOL_LOG_H_

namespace tessel {

constexpr char kProtocolLogFile[] = "src/mbim_protocol";

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_PROTOCOL_LOG_H_
