// SPDX-License-Identifier: MIT
#include "cli/report_prometheus.h"

#include "version.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <utility>
#include <vector>

namespace quvo::cli {
namespace {

constexpr std::string_view kPrefix = "quvo_diskspeed_";

// A label's value as the format quotes it: backslash, double quote and line feed
// escaped; anything else, UTF-8 included, as it is.
std::string labelValue(std::string_view value)
{
    std::string text = "\"";
    for (const char c : value) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '"': text += "\\\""; break;
        case '\n': text += "\\n"; break;
        default: text += c;
        }
    }
    return text + "\"";
}

// Shortest text that reads back as the same double; NaN and the infinities as the
// format spells them.
std::string number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

class Exposition {
public:
    // A gauge's help and type, before its samples.
    void family(std::string_view name, std::string_view help)
    {
        append({"# HELP ", kPrefix, name, " ", help, "\n", "# TYPE ", kPrefix, name, " gauge\n"});
    }
    void sample(std::string_view name, std::string_view labels, double value)
    {
        append({kPrefix, name});
        if (!labels.empty())
            append({"{", labels, "}"});
        append({" ", number(value), "\n"});
    }
    const std::string& text() const { return text_; }

private:
    void append(std::initializer_list<std::string_view> parts)
    {
        for (const std::string_view part : parts)
            text_.append(part);
    }

    std::string text_;
};

std::string rowLabel(int row)
{
    return "id=" + labelValue(bench::rowSpec(row).id);
}

} // namespace

std::string prometheusReport(const bench::RunRecord& record, const ReportContext& context)
{
    Exposition out;
    const runtime::Volume volume = context.volume.value_or(runtime::Volume{});
    out.family("info", "The program's version, its method's, and the volume a run measured; always 1.");
    out.sample("info",
        "version=" + labelValue(kVersion) + ",method_version=" + labelValue(std::to_string(bench::kMethodVersion))
            + ",directory=" + labelValue(context.directory) + ",file_system=" + labelValue(volume.fileSystem)
            + ",device=" + labelValue(volume.device),
        1);
    const std::vector<runtime::Disk>& disks = volume.storage.disks;
    out.family("disk_info", "A disk beneath the volume, with its bus and its maker's names; always 1.");
    for (const runtime::Disk& disk : disks)
        out.sample("disk_info",
            "disk=" + labelValue(disk.name) + ",bus=" + labelValue(bench::busId(disk.bus))
                + ",vendor=" + labelValue(disk.vendor) + ",model=" + labelValue(disk.model),
            1);
    out.family("link_info",
        "A disk's link: its kind, megabits (PCIe: megatransfers) a second a lane, and lanes, "
        "as it runs and as the disk can run it; always 1.");
    for (const runtime::Disk& disk : disks) {
        if (!disk.link)
            continue;
        const runtime::Link& link = *disk.link;
        // Appended piece by piece: GCC 12 takes "," + std::string for an overlapping copy.
        const auto rate = [&](std::string_view state, const std::optional<runtime::LinkRate>& value) {
            std::string labels;
            for (const auto& [name, number] : {std::pair{"speed_mbps=", value ? value->megabits : 0u},
                     std::pair{"lanes=", value ? value->lanes : 0u}}) {
                labels.append(",").append(state).append(name);
                labels.append(labelValue(value ? std::to_string(number) : std::string()));
            }
            return labels;
        };
        out.sample("link_info",
            "disk=" + labelValue(disk.name) + ",link=" + labelValue(bench::linkKindId(link.kind))
                + rate("", link.current) + rate("capable_", link.capable),
            1);
    }
    out.family("link_ceiling_bytes_per_second",
        "The most a disk's link carries, as it runs (state \"current\") and as the disk can run it (\"capable\").");
    for (const runtime::Disk& disk : disks) {
        if (!disk.link)
            continue;
        const runtime::Link& link = *disk.link;
        const std::string labels
            = "disk=" + labelValue(disk.name) + ",link=" + labelValue(bench::linkKindId(link.kind));
        if (const auto ceiling = runtime::ceilingOf(link.kind, link.current))
            out.sample("link_ceiling_bytes_per_second", labels + ",state=\"current\"", static_cast<double>(*ceiling));
        if (const auto ceiling = link.capable ? runtime::ceilingOf(link.kind, *link.capable) : std::nullopt)
            out.sample("link_ceiling_bytes_per_second", labels + ",state=\"capable\"", static_cast<double>(*ceiling));
    }
    out.family("run_success", "1 when the last run completed, 0 when it failed or was stopped.");
    out.sample("run_success", "", context.ok ? 1 : 0);
    out.family("run_start_time_seconds", "When the last run started, in seconds since 1970-01-01 UTC.");
    out.sample(
        "run_start_time_seconds", "", std::chrono::duration<double>(record.startedAt().time_since_epoch()).count());

    const auto& rows = record.rows();
    const auto each = [&](auto&& write) {
        for (int row = 0; row < bench::kRowCount; ++row)
            if (const auto& measured = rows[static_cast<std::size_t>(row)].measured)
                write(row, *measured);
    };
    out.family(
        "row_duration_seconds", "The time a row's figure is of: its elapsed time, or the sustained write's window.");
    each([&](int row, const bench::Measurement& report) {
        out.sample("row_duration_seconds", rowLabel(row), report.seconds);
    });
    out.family("row_bytes", "What a row wrote, read or copied, in bytes.");
    each([&](int row, const bench::Measurement& report) {
        if (report.bytes > 0)
            out.sample("row_bytes", rowLabel(row), static_cast<double>(report.bytes));
    });
    out.family("row_throughput_bytes_per_second", "What a row moved, in bytes, over its duration.");
    each([&](int row, const bench::Measurement& report) {
        if (report.bytes > 0)
            out.sample(
                "row_throughput_bytes_per_second", rowLabel(row), static_cast<double>(report.bytes) / report.seconds);
    });
    out.family(
        "row_cut_short", "1 where the sustained write's window ended early, with the reason as a label; else 0.");
    each([&](int row, const bench::Measurement& report) {
        if (bench::rowSpec(row).workload.action != bench::Action::SustainedWrite)
            return;
        const std::string_view reason = bench::cutShortId(report.cut);
        if (reason.empty())
            out.sample("row_cut_short", rowLabel(row), 0);
        else
            out.sample("row_cut_short", rowLabel(row) + ",reason=" + labelValue(reason), 1);
    });
    return out.text();
}

std::error_code writeWhole(const std::string& path, const std::string& text)
{
    const std::filesystem::path target(std::u8string(path.begin(), path.end()));
    // Beside the target, so that the rename stays on its volume; never a name a
    // textfile collector reads (*.prom).
    std::filesystem::path temporary = target;
    temporary += ".";
    temporary += std::to_string(std::random_device{}());
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            const std::error_code failed(errno != 0 ? errno : EIO, std::generic_category());
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return failed;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
    }
    return error;
}

} // namespace quvo::cli
