// SPDX-License-Identifier: MIT
// The headless front end's report for scripts: one JSON object, documented field by
// field in docs/report.md.
#pragma once

#include "bench/report.h"
#include "runtime/volumes.h"

#include <optional>
#include <string>

namespace quvo::cli {

// Raised by one when a field changes its meaning or goes; new fields leave it.
inline constexpr int kReportSchema = 3;

struct ReportContext {
    std::string directory;                 // as the user named it, made absolute
    bool ok = false;                       // the run completed
    std::optional<runtime::Volume> volume; // as it stood before the run
};

// The report, on one line. Text that is not valid UTF-8 (a path may hold such bytes)
// has U+FFFD in its place, so that the report always parses.
std::string jsonReport(const bench::RunRecord& record, const ReportContext& context);

} // namespace quvo::cli
