// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include "bench/wording.h"

#include <string_view>

namespace quvo::cli {

ParsedArguments parseArguments(std::span<const char* const> args)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    bool directoryGiven = false;
    bool fileExpected = false; // the next argument is --prometheus's file
    bool prometheusGiven = false;
    for (const char* arg : args) {
        const std::string_view text(arg);
        if (fileExpected) {
            parsed.options.prometheus = text;
            fileExpected = false;
        } else if (!optionsEnded && text == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && text == "--version") {
            parsed.options.version = true;
        } else if (!optionsEnded && text == "--json") {
            parsed.options.json = true;
        } else if (!optionsEnded && (text == "--help" || text == "-h")) {
            parsed.options.help = true;
        } else if (!optionsEnded && text == "--list") {
            parsed.options.list = true;
        } else if (!optionsEnded && (text == "--quiet" || text == "-q")) {
            parsed.options.quiet = true;
        } else if (!optionsEnded && text == "--plan") {
            parsed.options.plan = true;
        } else if (!optionsEnded && text == "--prometheus") {
            fileExpected = prometheusGiven = true;
        } else if (!optionsEnded && text.starts_with("--prometheus=")) {
            parsed.options.prometheus = text.substr(text.find('=') + 1);
            prometheusGiven = true;
        } else if (!optionsEnded && text.size() > 1 && text.front() == '-') {
            parsed.error = std::string(bench::kUnknownOptionText) + std::string(text);
            return parsed;
        } else if (directoryGiven) {
            parsed.error = std::string(bench::kSecondDirectoryText) + std::string(text);
            return parsed;
        } else {
            parsed.options.directory = text;
            directoryGiven = true;
        }
    }
    if (prometheusGiven && parsed.options.prometheus.empty())
        parsed.error = bench::kPrometheusWithoutFileText;
    else if (prometheusGiven && (parsed.options.plan || parsed.options.list))
        parsed.error = bench::kPrometheusNotAloneText;
    else if (parsed.options.directory.empty())
        parsed.error = bench::kEmptyDirectoryText;
    else if (parsed.options.list && (directoryGiven || parsed.options.json || parsed.options.plan))
        parsed.error = bench::kListNotAloneText;
    else if (parsed.options.plan && (parsed.options.json || parsed.options.quiet))
        parsed.error = bench::kPlanNotAloneText;
    return parsed;
}

} // namespace quvo::cli
