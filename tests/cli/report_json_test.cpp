// SPDX-License-Identifier: MIT
// The report for scripts, read back with the JSON library as a script would read it.
#include "cli/report_json.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

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
    record.rowShown(0, {.value = 0.012, .seconds = 0.012, .bytes = 1'024'000});
    record.setResultText(4, "1750995 KB/秒");
    record.rowShown(4, {.value = 1750995, .seconds = 0.5, .bytes = 897'259'875, .cut = bench::CutShort::Space});
    record.setResultText(5, "");
    record.rowShown(5, {.value = NAN, .seconds = 0, .bytes = 897'259'875});
    return record;
}

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
                .traits = {.fuse = true}}});
    const json report = json::parse(text); // throws on anything that does not parse
    EXPECT_EQ(report["schema"], kReportSchema);
    EXPECT_TRUE(report["version"].is_string());
    EXPECT_TRUE(report["started"].get<std::string>().ends_with("Z"));
    EXPECT_EQ(report["directory"], "/tmp/a\"b\xEF\xBF\xBD"); // the byte that is no UTF-8, replaced
    EXPECT_EQ(report["prefix"], "/tmp/a\"b\xEF\xBF\xBD/");
    EXPECT_EQ(report["ok"], false);
    EXPECT_EQ(report["error"], report["status"]);
    EXPECT_EQ(report["locked"], false) << "the run stopped before it held its directory";
    EXPECT_EQ(report["volume"],
        (json{{"mount_point", "/media/stick"}, {"file_system", "ntfs"}, {"mount_type", "fuseblk"},
            {"device", "/dev/sdb1"}, {"total_bytes", 1 << 30}, {"available_bytes", 1 << 29}, {"compression", nullptr},
            {"copy_on_write", false}, {"fuse", true}, {"network", false}, {"memory", false}}));

    const json& rows = report["rows"];
    ASSERT_EQ(rows.size(), 3u); // the rows measured before the run stopped
    const struct {
        int row;
        const char* id;
        const char* unit;
        std::uint64_t bytes;
        json cut;
    } expected[] = {
        {0, "small_write", "s", 1'024'000, nullptr},
        {4, "sustained_write", "KB/s", 897'259'875, "space"},
        {5, "read_back", "KB/s", 897'259'875, nullptr},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& want = expected[i];
        EXPECT_EQ(rows[i]["row"], want.row) << want.id;
        EXPECT_EQ(rows[i]["id"], want.id);
        EXPECT_EQ(rows[i]["unit"], want.unit) << want.id;
        EXPECT_EQ(rows[i]["bytes"], want.bytes) << want.id;
        EXPECT_EQ(rows[i]["cut_short"], want.cut) << want.id;
        for (const char* key : {"name", "kind", "value", "text", "bar_twips", "seconds"})
            EXPECT_TRUE(rows[i].contains(key)) << want.id << " lacks " << key;
    }
    EXPECT_EQ(rows[0]["value"], 0.012);
    EXPECT_EQ(rows[0]["bar_twips"], 8.9f);
    EXPECT_TRUE(rows[2]["value"].is_null()) << "a rate over no time is no number";
}

} // namespace
} // namespace quvo::cli
