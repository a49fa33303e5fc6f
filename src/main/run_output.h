// run_output.h — what -q, --json and --timeout change about a run, set up
// once the options are read and before Init.
//
//   -q, --quiet   only error-level records are written (diag_log.h filters
//                 them in the tool, so this holds with the platform's own
//                 log library too); the summary and the operator's lines
//                 are unchanged.
//   --json        standard output carries the summary alone, as one JSON
//                 object (outcome.h); every line it carries otherwise
//                 ("Send > ...", "Recv < ...", "UnInit", "fial to access
//                 ...") goes to standard error from here on, so that
//                 `tessel ... --json | jq` reads the object and nothing else.
//   --timeout S   each wait for an answer lasts up to S seconds instead of
//                 30 (the apply keeps its 3).
// Without them nothing changes: the default mode's output stays what
// scripts rely on.
#ifndef TESSEL_MAIN_RUN_OUTPUT_H_
#define TESSEL_MAIN_RUN_OUTPUT_H_

#include <cstdio>

#include "main/arguments.h"
#include "main/outcome.h"

namespace tessel {

struct RunOutput {
  SummaryStyle style = SummaryStyle::kKeyValue;
  std::FILE* summary = stdout;  // where the summary goes
};

// Applies `options` as above. Under --json, standard output's descriptor is
// kept (close-on-exec) for the summary and descriptor 1 then points where
// standard error does; when it cannot be kept, standard output stays as it
// is and the summary follows its other lines there.
RunOutput begin_run_output(const OutputOptions& options);

}  // namespace tessel

#endif  // TESSEL_MAIN_RUN_OUTPUT_H_
