// SPDX-License-Identifier: MIT
// The run in Prometheus' text exposition format, for node_exporter's and
// windows_exporter's textfile collectors: base units, one series per row labelled
// with its stable id. Documented in docs/report.md.
#pragma once

#include "bench/report.h"
#include "cli/report_json.h"

#include <string>
#include <system_error>

namespace quvo::cli {

std::string prometheusReport(const bench::RunRecord& record, const ReportContext& context);

// Writes text to a temporary file beside path and renames it over path, so that a
// reader never meets half of it.
std::error_code writeWhole(const std::string& path, const std::string& text);

} // namespace quvo::cli
