// SPDX-License-Identifier: MIT
// The report for scripts, read back with the JSON library as a script would read it.
#include "cli/report_json.h"

#include "bench/wording.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <vector>

namespace quvo::cli {
namespace {

using nlohmann::json;

bench::RunRecord partRun()
{
    bench::RunRecord record;
    // A directory whose name is not valid UTF-8 and holds a quote.
    record.start("/tmp/a\"b\377/ [ext4, 1.0 GB 可用]");
    record.setStatusText("本地磁盘测试失败：复制 … 时出错（No space left on device）");
    record.setResultText(0, "0.012 秒");
    record.setBarWidth(0, 8.9f);
    record.setMeasurement(0, {.value = 0.012, .seconds = 0.012, .bytes = 1'024'000});
    record.setResultText(4, "1750995 KB/秒");
    record.setMeasurement(4,
        {.value = 1750995,
            .seconds = 0.5,
            .bytes = 897'259'875,
            .cut = bench::CutShort::Space,
            .progress = {.bytesAt = {447'925'000, 897'259'875}, .quarters = 2}});
    record.setResultText(5, "");
    record.setMeasurement(5, {.value = NAN, .seconds = 0, .bytes = 897'259'875});
    return record;
}

// A USB 3 stick on a USB 2 port, mounted from its partition.
const runtime::Storage kStickAt480{{{"sdb1", runtime::LevelKind::Partition}, {"sdb", runtime::LevelKind::Disk, "sdb1"}},
    {{"sdb", "SanDisk", "Ultra Fit", runtime::Bus::Usb,
        runtime::Link{runtime::LinkKind::Usb, {480, 1}, runtime::LinkRate{5000, 1}}}}};

TEST(JsonReport, NamesEveryFieldAsDocumented)
{
    const std::string text = jsonReport(partRun(),
        {.directory = "/tmp/a\"b\377",
            .ok = false,
            .volume = runtime::Volume{.mountPoint = "/media/stick",
                .fileSystem = "ntfs",
                .device = "/dev/sdb1",
                .totalBytes = 1 << 30,
                .availableBytes = 1 << 29,
                .mountType = "fuseblk",
                .traits = {.fuse = true},
                .storage = kStickAt480}});
    const json report = json::parse(text); // throws on anything that does not parse
    EXPECT_EQ(report["schema"], kReportSchema);
    EXPECT_TRUE(report["version"].is_string());
    EXPECT_EQ(report["method_version"], bench::kMethodVersion);
    EXPECT_TRUE(report["started"].get<std::string>().ends_with("Z"));
    EXPECT_EQ(report["directory"], "/tmp/a\"b\xEF\xBF\xBD"); // the byte that is no UTF-8, replaced
    EXPECT_EQ(report["prefix"], "/tmp/a\"b\xEF\xBF\xBD/");
    EXPECT_EQ(report["ok"], false);
    EXPECT_EQ(report["error"], report["status"]);
    EXPECT_EQ(report["locked"], false) << "the run stopped before it held its directory";
    EXPECT_EQ(report["volume"],
        (json{{"mount_point", "/media/stick"}, {"file_system", "ntfs"}, {"mount_type", "fuseblk"},
            {"device", "/dev/sdb1"}, {"total_bytes", 1 << 30}, {"available_bytes", 1 << 29}, {"compression", nullptr},
            {"copy_on_write", false}, {"fuse", true}, {"network", false}, {"memory", false},
            {"stack",
                {{{"name", "sdb1"}, {"kind", "partition"}, {"holder", nullptr}},
                    {{"name", "sdb"}, {"kind", "disk"}, {"holder", "sdb1"}}}},
            {"disks",
                {{{"name", "sdb"}, {"vendor", "SanDisk"}, {"model", "Ultra Fit"}, {"bus", "usb"},
                    {"link",
                        {{"kind", "usb"}, {"speed_mbps", 480}, {"lanes", 1}, {"generation", nullptr},
                            {"capable_speed_mbps", 5000}, {"capable_lanes", 1}, {"capable_generation", nullptr},
                            {"ceiling_bytes_per_second", 60'000'000}, {"below_capable", true}}}}}}}));
    // The run's record held no stack: it stopped before it asked.
    EXPECT_TRUE(report["link_note"].is_null());

    const json& rows = report["rows"];
    ASSERT_EQ(rows.size(), 3u); // the rows measured before the run stopped
    const struct {
        int row;
        const char* id;
        const char* unit;
        std::uint64_t bytes;
        json cut;
        json quarters;
    } expected[] = {
        {0, "small_write", "s", 1'024'000, nullptr, nullptr},
        {4, "sustained_write", "KB/s", 897'259'875, "space", {447'925'000, 897'259'875}},
        {5, "read_back", "KB/s", 897'259'875, nullptr, nullptr},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& want = expected[i];
        EXPECT_EQ(rows[i]["row"], want.row) << want.id;
        EXPECT_EQ(rows[i]["id"], want.id);
        EXPECT_EQ(rows[i]["unit"], want.unit) << want.id;
        EXPECT_EQ(rows[i]["bytes"], want.bytes) << want.id;
        EXPECT_EQ(rows[i]["cut_short"], want.cut) << want.id;
        EXPECT_EQ(rows[i]["bytes_at_quarter_seconds"], want.quarters) << want.id;
        for (const char* key : {"name", "kind", "value", "text", "bar_twips", "seconds", "faster_than_link"})
            EXPECT_TRUE(rows[i].contains(key)) << want.id << " lacks " << key;
    }
    EXPECT_EQ(rows[0]["value"], 0.012);
    EXPECT_EQ(rows[0]["bar_twips"], 8.9f);
    EXPECT_TRUE(rows[2]["value"].is_null()) << "a rate over no time is no number";
}

// Row 4's notes as taken, and a drop within its window, where the last second wrote
// less than 70 % of the first, said in the row's tooltip and once after the run. A window
// that ended early has no last second to compare; memory has no drive to slow.
TEST(JsonReport, GivesTheSustainedWritesProgressAndSaysADropWithinIt)
{
    const struct {
        const char* name;
        std::vector<std::uint64_t> quarters; // bytes written in each quarter second
        bool memory;
        bool dropped;
    } cases[] = {
        {"steady", {250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 250}, false, false},
        {"the last second at 70 % of the first", {250, 250, 250, 250, 250, 250, 250, 250, 175, 175, 175, 175}, false,
            false},
        {"a byte less", {250, 250, 250, 250, 250, 250, 250, 250, 175, 175, 175, 174}, false, true},
        {"a fast first second, then a full cache", {500, 500, 500, 500, 250, 250, 250, 250, 250, 250, 250, 250}, false,
            true},
        {"slow in the last half second only", {250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 0, 0}, false, true},
        {"a slow middle second that recovers", {250, 250, 250, 250, 0, 0, 0, 0, 250, 250, 250, 250}, false, false},
        {"nothing in the first second", {0, 0, 0, 0, 250, 250, 250, 250, 250, 250, 250, 250}, false, false},
        {"ended early at 2.75 s", {250, 250, 250, 250, 250, 250, 250, 250, 0, 0, 0}, false, false},
        {"on memory", {250, 250, 250, 250, 250, 250, 250, 250, 250, 250, 0, 0}, true, false},
    };
    const std::string drop = "最后一秒的写入速度不到第一秒的 70%：磁盘缓存已满或磁盘降速";
    for (const auto& c : cases) {
        bench::WindowProgress progress;
        std::uint64_t written = 0;
        json noted = json::array();
        for (const std::uint64_t bytes : c.quarters) {
            written += bytes;
            progress.bytesAt[static_cast<std::size_t>(progress.quarters++)] = written;
            noted.push_back(written);
        }
        bench::RunRecord record;
        record.start("/data/ [ext4, 1.0 GB 可用]");
        record.setMeasurement(4, {.value = 1, .seconds = 3, .bytes = written, .progress = progress});
        record.setPath(4, c.memory ? runtime::DataPath::Memory : runtime::DataPath::Direct, std::nullopt);
        const json report = json::parse(jsonReport(record, {.directory = "/data", .ok = true, .volume = std::nullopt}));
        EXPECT_EQ(report["rows"][0]["bytes_at_quarter_seconds"], noted) << c.name;
        const std::string tip = c.memory ? "该卷位于内存中，结果不是磁盘的速度" : "绕过系统缓存，直接读写磁盘";
        EXPECT_EQ(bench::pathTip(4, record.rows()[4]), tip + (c.dropped ? "；" + drop : "")) << c.name;
        EXPECT_EQ(bench::windowDropNoteText(record), c.dropped ? "注意：3 秒持续写入中，" + drop : "") << c.name;
        EXPECT_EQ(bench::plainTextReport(record).find(drop) != std::string::npos, c.dropped) << c.name;
    }
}

// How each row met the device, and whether its figure may be memory's: a read through
// the cache counts only where the cache was shown emptied of its file; a write is forced
// to the medium whichever way it went; a memory medium is memory's throughout.
TEST(JsonReport, SaysHowEachFigureMetTheDevice)
{
    using runtime::DataPath;
    const struct {
        int row;
        DataPath path;
        std::optional<bool> dropped;
        const char* method;
        bool mayNotBeDevice;
    } cases[] = {
        {0, DataPath::DroppedFromCache, true, "buffered_dropped", false},
        {1, DataPath::DroppedFromCache, true, "buffered_dropped", false},
        {2, DataPath::DroppedFromCache, false, "buffered_dropped", false},
        {3, DataPath::DroppedFromCache, false, "buffered_dropped", true},
        {4, DataPath::DirectRefused, std::nullopt, "direct_refused", false},
        {5, DataPath::DirectRefused, std::nullopt, "direct_refused", true},
        {5, DataPath::DirectRefused, true, "direct_refused", false},
        {5, DataPath::Direct, std::nullopt, "direct", false},
        {7, DataPath::ForcedToMedium, std::nullopt, "buffered_forced", false},
        {7, DataPath::DroppedFromCache, false, "buffered_dropped", true},
        {2, DataPath::Memory, std::nullopt, "memory", true},
    };
    for (const auto& want : cases) {
        bench::RunRecord record;
        record.start("/data/ [ext4, 1.0 GB 可用]");
        record.setMeasurement(want.row, {.value = 1, .seconds = 1, .bytes = 1});
        record.setPath(want.row, want.path, want.dropped);
        record.setMeasurement(6, {.value = 1, .seconds = 1});
        const json report = json::parse(jsonReport(record, {.directory = "/data", .ok = true, .volume = std::nullopt}));
        const std::string where = std::to_string(want.row) + " " + want.method;
        const json& rows = report["rows"];
        ASSERT_EQ(rows.size(), 2u) << where;
        const json& row = rows[want.row < 6 ? 0 : 1];
        EXPECT_EQ(row["method"], want.method) << where;
        EXPECT_EQ(row["dropped_from_cache"], want.dropped ? json(*want.dropped) : json(nullptr)) << where;
        EXPECT_EQ(row["may_not_be_device"], want.mayNotBeDevice) << where;
        EXPECT_EQ(report["caveat"].is_string(), want.mayNotBeDevice) << where;
        const json& lookups = rows[want.row < 6 ? 1 : 0];
        EXPECT_TRUE(lookups["method"].is_null()) << "lookups move no data";
    }
}

// A figure faster than the link can carry was not all the device's: flagged, named in
// the caveat, the row's tooltip and the report; one at the link's ceiling is not. The
// link the device runs below is said once. A stack over several disks, whose links a
// figure may add up, and one of memory hold no figure against a link.
TEST(JsonReport, HoldsEachFigureAgainstItsLink)
{
    runtime::Storage raid = kStickAt480;
    raid.disks.push_back(raid.disks.front());
    raid.disks.back().name = "sdc";
    const struct {
        const char* name;
        runtime::Storage storage;
        std::vector<bool> faster; // rows 0, 1, 4
    } cases[] = {
        {"a USB 3 stick at 480 Mb/s", kStickAt480, {false, true, false}},
        {"two sticks", raid, {false, false, false}},
        {"zram", {{{"zram0", runtime::LevelKind::Zram}}, {}, true}, {false, false, false}},
    };
    for (const auto& c : cases) {
        bench::RunRecord record;
        record.start("/media/stick/ [ntfs, 1.0 GB 可用]");
        record.setLocked(true);
        record.setStorage(c.storage);
        // 51.2 and 102.4 MB/s, and row 4 at exactly 60 MB/s, the ceiling.
        record.setMeasurement(0, {.value = 0.02, .seconds = 0.02, .bytes = 1'024'000});
        record.setMeasurement(1, {.value = 0.01, .seconds = 0.01, .bytes = 1'024'000});
        record.setMeasurement(4, {.value = 175'609.75, .seconds = 3, .bytes = 180'000'000});
        for (const int row : {0, 1, 4})
            record.setPath(row, runtime::DataPath::Direct, std::nullopt);
        record.setStatusText("本地磁盘测试完成");
        const json report
            = json::parse(jsonReport(record, {.directory = "/media/stick", .ok = true, .volume = std::nullopt}));
        const json& rows = report["rows"];
        ASSERT_EQ(rows.size(), 3u) << c.name;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i]["faster_than_link"], c.faster[i]) << c.name << " row " << rows[i]["row"];
            EXPECT_EQ(rows[i]["may_not_be_device"], c.faster[i]) << c.name << " row " << rows[i]["row"];
        }
        const std::string note = "Ultra Fit 的接口以 USB 2.0 运行，低于它支持的 USB 5Gbps，结果受接口所限";
        EXPECT_EQ(report["link_note"],
            c.storage.memory ? json(nullptr)
                             : json("注意：" + note + (c.storage.disks.size() == 2 ? "；" + note : std::string())))
            << c.name;
        if (!c.faster[1]) {
            EXPECT_TRUE(report["caveat"].is_null()) << c.name;
            continue;
        }
        EXPECT_EQ(report["caveat"], "注意：这些结果快于 USB 2.0 接口的上限，不是磁盘本身的速度：小文件只读速度 (1MB):")
            << c.name;
        EXPECT_EQ(bench::pathTip(1, record.rows()[1]),
            "绕过系统缓存，直接读写磁盘；快于 USB 2.0 接口的上限，不是磁盘本身的速度")
            << c.name;
        // The copied text: the method, the device, and both notes before the status.
        const std::string text = bench::plainTextReport(record);
        for (const std::string& line :
            {std::string("测量方法：第 1 版\n"), std::string("设备：SanDisk Ultra Fit（USB 2.0）\n"),
                report["caveat"].get<std::string>() + "\n" + report["link_note"].get<std::string>()
                    + "\n本地磁盘测试完成\n"})
            EXPECT_NE(text.find(line), std::string::npos) << line << " not in:\n" << text;
    }
}

} // namespace
} // namespace quvo::cli
