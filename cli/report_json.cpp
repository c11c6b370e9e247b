// SPDX-License-Identifier: MIT
#include "cli/report_json.h"

#include "bench/target.h"
#include "bench/wording.h"
#include "version.h"

#include <nlohmann/json.hpp>

namespace quvo::cli {
namespace {

// Keys in the order docs/report.md gives them, for the people who read it too.
using json = nlohmann::ordered_json;

json cutShort(bench::CutShort cut)
{
    const std::string_view id = bench::cutShortId(cut);
    return id.empty() ? json(nullptr) : json(id);
}

json volumeOf(const std::optional<runtime::Volume>& volume)
{
    if (!volume)
        return nullptr;
    const runtime::VolumeTraits& traits = volume->traits;
    return {{"mount_point", volume->mountPoint}, {"file_system", volume->fileSystem},
        {"mount_type", volume->mountType.empty() ? volume->fileSystem : volume->mountType}, {"device", volume->device},
        {"total_bytes", volume->totalBytes}, {"available_bytes", volume->availableBytes},
        {"compression", traits.compression ? json(*traits.compression) : json(nullptr)},
        {"copy_on_write", traits.copyOnWrite}, {"fuse", traits.fuse}, {"network", traits.network},
        {"memory", traits.memory}};
}

} // namespace

std::string jsonReport(const bench::RunRecord& record, const ReportContext& context)
{
    json rows = json::array();
    for (int row = 0; row < bench::kRowCount; ++row) {
        const bench::RowRecord& shown = record.rows()[static_cast<std::size_t>(row)];
        if (!shown.shown)
            continue;
        const bench::RowSpec& spec = bench::rowSpec(row);
        rows.push_back({{"row", row}, {"id", spec.id}, {"name", spec.caption},
            {"kind", spec.kind == bench::RowKind::Time ? "time" : "speed"}, {"unit", bench::unitOf(spec.kind)},
            // Not a number (a division by no time) is null, as JSON has no NaN.
            {"value", shown.report.value}, {"text", shown.text}, {"bar_twips", shown.barTwips},
            {"bytes", shown.report.bytes}, {"seconds", shown.report.seconds}, {"cut_short", cutShort(shown.report.cut)},
            {"method", shown.path ? json(bench::dataPathId(*shown.path)) : json(nullptr)},
            {"dropped_from_cache", shown.droppedFromCache ? json(*shown.droppedFromCache) : json(nullptr)},
            {"may_not_be_device", bench::mayNotBeDevice(row, shown)}});
    }
    const std::string caveat = bench::deviceCaveatText(record);
    const json report
        = {{"schema", kReportSchema}, {"version", kVersion}, {"started", bench::utcTimestamp(record.startedAt())},
            {"directory", context.directory}, {"prefix", bench::targetPrefix(record.driveText())}, {"ok", context.ok},
            {"error", context.ok ? json(nullptr) : json(record.status())}, {"status", record.status()},
            {"locked", record.locked()}, {"caveat", caveat.empty() ? json(nullptr) : json(caveat)},
            {"volume", volumeOf(context.volume)}, {"rows", rows}};
    return report.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace quvo::cli
