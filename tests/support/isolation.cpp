// isolation.cpp — see isolation.h.
#include "isolation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace process {

bool isolated() {
  const char* v = std::getenv("TESSEL_ISOLATED");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

bool proxy_visible() {
  FILE* ps = popen("ps -eT 2>/dev/null", "r");
  if (ps == nullptr) return false;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, ps)) > 0) text.append(buf, n);
  pclose(ps);
  return text.find("mbim-proxy") != std::string::npos;
}

namespace {

// The reason a test gave GTEST_SKIP(), on one line.
std::string skip_reason(const ::testing::TestResult& result) {
  for (int i = 0; i < result.total_part_count(); ++i) {
    const ::testing::TestPartResult& part = result.GetTestPartResult(i);
    if (!part.skipped()) continue;
    std::string text = part.message();
    for (char& c : text) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    return text.empty() ? "no reason given" : text;
  }
  return "no reason given";
}

// Writes the report of isolation.h when the run skipped tests and failed none.
// Whether the process then exits with status 0 is for isolated.sh to see.
class SkipReport : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
    const char* path = std::getenv("TESSEL_SKIP_REPORT");
    if (path == nullptr || *path == '\0') return;
    if (unit.skipped_test_count() == 0 || unit.failed_test_count() != 0) return;
    std::map<std::string, int> reasons;  // sorted: the same text on every run
    for (int s = 0; s < unit.total_test_suite_count(); ++s) {
      const ::testing::TestSuite* suite = unit.GetTestSuite(s);
      for (int t = 0; t < suite->total_test_count(); ++t) {
        const ::testing::TestInfo* info = suite->GetTestInfo(t);
        if (info->should_run() && info->result()->Skipped()) ++reasons[skip_reason(*info->result())];
      }
    }
    FILE* report = std::fopen(path, "w");
    if (report == nullptr) return;
    std::fprintf(report, "tessel-tests: skipped %d of %d tests, none failed\n",
                 unit.skipped_test_count(), unit.test_to_run_count());
    for (const auto& [reason, count] : reasons)
      std::fprintf(report, "tessel-tests:   %d because: %s\n", count, reason.c_str());
    std::fclose(report);
  }
};

// Installed before main() runs, in every test binary; gtest owns its listeners.
[[maybe_unused]] const bool kSkipReportInstalled = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(std::make_unique<SkipReport>().release());
  return true;
}();

}  // namespace

}  // namespace process
