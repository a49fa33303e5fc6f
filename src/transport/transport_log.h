// transport_log.h — the source tag of the log records the transport writes.
//
// The transport's folder was once src/mbim_ctx, and its records have always
// carried that name ("I src/mbim_ctx:… [tessel] wait ret = 110"). They keep
// it, so whoever selects the log's records by that tag (a journal filter, a
// script on a device) sees no change.
#ifndef TESSEL_TRANSPORT_TRANSPORT_LOG_H_
#define TESSEL_TRANSPORT_TRANSPORT_LOG_H_

namespace tessel {

constexpr char kTransportLogFile[] = "src/mbim_ctx";

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_TRANSPORT_LOG_H_
