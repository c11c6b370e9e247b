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

// The empty text, where the system says nothing, as null.
json text(std::string_view value)
{
    return value.empty() ? json(nullptr) : json(value);
}

json linkOf(const std::optional<runtime::Link>& link)
{
    if (!link)
        return nullptr;
    const auto generation = [&](const std::optional<runtime::LinkRate>& rate) {
        const int number = rate && link->kind == runtime::LinkKind::Pcie ? runtime::pcieGeneration(rate->megabits) : 0;
        return number > 0 ? json(number) : json(nullptr);
    };
    const auto ceiling = runtime::ceilingOf(link->kind, link->current);
    return {{"kind", bench::linkKindId(link->kind)}, {"speed_mbps", link->current.megabits},
        {"lanes", link->current.lanes}, {"generation", generation(link->current)},
        {"capable_speed_mbps", link->capable ? json(link->capable->megabits) : json(nullptr)},
        {"capable_lanes", link->capable ? json(link->capable->lanes) : json(nullptr)},
        {"capable_generation", generation(link->capable)},
        {"ceiling_bytes_per_second", ceiling ? json(*ceiling) : json(nullptr)},
        {"below_capable", runtime::belowCapable(*link)}};
}

json volumeOf(const std::optional<runtime::Volume>& volume)
{
    if (!volume)
        return nullptr;
    const runtime::VolumeTraits& traits = volume->traits;
    json stack = json::array();
    for (const runtime::StorageLevel& level : volume->storage.levels)
        stack.push_back(
            {{"name", level.name}, {"kind", bench::levelKindId(level.kind)}, {"holder", text(level.holder)}});
    json disks = json::array();
    for (const runtime::Disk& disk : volume->storage.disks)
        disks.push_back({{"name", disk.name}, {"vendor", text(disk.vendor)}, {"model", text(disk.model)},
            {"bus", text(bench::busId(disk.bus))}, {"link", linkOf(disk.link)}});
    return {{"mount_point", volume->mountPoint}, {"file_system", volume->fileSystem},
        {"mount_type", volume->mountType.empty() ? volume->fileSystem : volume->mountType}, {"device", volume->device},
        {"total_bytes", volume->totalBytes}, {"available_bytes", volume->availableBytes},
        {"compression", traits.compression ? json(*traits.compression) : json(nullptr)},
        {"copy_on_write", traits.copyOnWrite}, {"fuse", traits.fuse}, {"network", traits.network},
        {"memory", traits.memory}, {"stack", stack}, {"disks", disks}};
}

} // namespace

std::string jsonReport(const bench::RunRecord& record, const ReportContext& context)
{
    json rows = json::array();
    for (int row = 0; row < bench::kRowCount; ++row) {
        const bench::RowRecord& result = record.rows()[static_cast<std::size_t>(row)];
        if (!result.measured)
            continue;
        const bench::RowSpec& spec = bench::rowSpec(row);
        rows.push_back({{"row", row}, {"id", spec.id}, {"name", spec.caption},
            {"kind", spec.kind == bench::RowKind::Time ? "time" : "speed"}, {"unit", bench::unitOf(spec.kind)},
            // Not a number (a division by no time) is null, as JSON has no NaN.
            {"value", result.measured->value}, {"text", result.text}, {"bar_twips", result.barTwips},
            {"bytes", result.measured->bytes}, {"seconds", result.measured->seconds},
            {"cut_short", cutShort(result.measured->cut)},
            {"bytes_at_quarter_seconds",
                spec.workload.action == bench::Action::SustainedWrite ? json(result.measured->progress.noted())
                                                                      : json(nullptr)},
            {"method", result.path ? json(bench::dataPathId(*result.path)) : json(nullptr)},
            {"dropped_from_cache", result.droppedFromCache ? json(*result.droppedFromCache) : json(nullptr)},
            {"may_not_be_device", bench::mayNotBeDevice(row, result)},
            {"faster_than_link", result.aboveLink.has_value()}});
    }
    const json report = {{"schema", kReportSchema}, {"version", kVersion}, {"method_version", bench::kMethodVersion},
        {"started", bench::utcTimestamp(record.startedAt())}, {"directory", context.directory},
        {"prefix", bench::targetPrefix(record.driveText())}, {"ok", context.ok},
        {"error", context.ok ? json(nullptr) : json(record.status())}, {"status", record.status()},
        {"locked", record.locked()}, {"caveat", text(bench::deviceCaveatText(record))},
        {"link_note", text(bench::linkNoteText(record.storage()))}, {"lock_note", text(bench::lockNoteText(record))},
        {"volume", volumeOf(context.volume)}, {"rows", rows}};
    return report.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace quvo::cli
