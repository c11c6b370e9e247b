// SPDX-License-Identifier: MIT
// The run against real faults on real file systems: hostile names, targets that
// vanish, fill up or turn read-only, odd directory names, and many runs in a row.
// Nothing may be lost, nothing left behind, nothing hung.
#include "bench/measurement_run.h"

#include "bench/wording.h"
#include "tests/bench/run_fixture.h"
#include "tests/support/mounts.h"
#include "tests/support/planted.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quvo::bench {
namespace {

namespace fs = std::filesystem;
using test::ScopedMount;
using test::TempDir;

// Ends the whole test program if a run hangs (on a FIFO, say) instead of waiting forever.
class Deadline {
public:
    explicit Deadline(unsigned seconds) { ::alarm(seconds); }
    ~Deadline() { ::alarm(0); }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
};

class FaultTest : public RunFixture {
protected:
    void expectFailure(const char* name, std::string_view reason, int rows)
    {
        ASSERT_FALSE(view.statuses.empty()) << name;
        const std::string& status = view.statuses.back();
        EXPECT_TRUE(status.starts_with(kFailedText)) << name << ": " << status;
        EXPECT_NE(status.find(reason), std::string::npos) << name << ": " << status;
        EXPECT_EQ(rowsShown(), rows) << name;
    }
};

class PlantedAtATestFileName : public FaultTest, public ::testing::WithParamInterface<test::Planted> { };

TEST_P(PlantedAtATestFileName, IsNeitherFollowedOpenedNorRemoved)
{
    const test::Planted& thing = GetParam();
    const std::string outsideContent = "outside\nleft exactly as it was\n";
    for (const std::string_view name : {"DriveSpeedTest.txt", "DriveSpeedTest2.txt"}) {
        TempDir dir;
        TempDir elsewhere;
        const fs::path outside = elsewhere / "precious.txt";
        test::writeFile(outside, outsideContent);
        const fs::path at = dir / std::string(name);
        if (const std::string why = thing.plant(at, outside); !why.empty())
            GTEST_SKIP() << why;
        const auto type = fs::symlink_status(at).type();
        view = {};
        {
            const Deadline deadline(30);
            EXPECT_EQ(runIn(dir.path()), RunOutcome::Failed) << name;
        }
        expectFailure(thing.id.data(), reasonFor(thing.refusal), 0);
        EXPECT_EQ(fs::symlink_status(at).type(), type) << name;
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{std::string(name)}) << name;
        EXPECT_EQ(test::readFile(outside), outsideContent) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Planted, PlantedAtATestFileName, ::testing::ValuesIn(test::plantedThings()), test::PlantedId());

// A fault that strikes at the first pump after a row, and what the run must say.
struct MidRunFault {
    const char* name;
    int afterRow;
    std::function<void(const fs::path& target)> strike;
    const char* reason;
    int rowsShown;                       // the rows measured before the fault told
    std::vector<std::string> leftBehind; // in the target, after the run
};

void setFileSizeLimit(rlim_t bytes)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(FaultTest, AFaultDuringARunStopsItWithAMessageAndTheNextRunStillWorks)
{
    // A file-size limit fails a write with EFBIG, as a full volume would with ENOSPC.
    const MidRunFault faults[] = {
        {"directory removed", 0, [](auto& target) { fs::remove_all(target); }, "No such file or directory", 1, {}},
        {"file size limit", 1, [](auto&) { setFileSizeLimit(5'000'000); }, "File too large", 2, {}},
    };
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const MidRunFault& fault : faults) {
        TempDir dir;
        const fs::path target = dir / "target";
        fs::create_directory(target);
        view = {};
        view.onPump = [&] {
            if (view.lastShownRow == fault.afterRow && afterRow[fault.afterRow].pumps == 1)
                fault.strike(target);
        };
        EXPECT_EQ(runIn(target), RunOutcome::Failed) << fault.name;
        setFileSizeLimit(RLIM_INFINITY);
        expectFailure(fault.name, fault.reason, fault.rowsShown);
        EXPECT_EQ(entries(target), fault.leftBehind) << fault.name;

        view = {};
        fs::create_directories(target);
        EXPECT_EQ(runIn(target), RunOutcome::Completed) << fault.name << ", the run after";
        EXPECT_TRUE(entries(target).empty()) << fault.name << ", the run after";
    }
    std::signal(SIGXFSZ, previousHandler);
}

TEST_F(FaultTest, AFaultOnAMountedTargetStopsTheRunWithAMessage)
{
    if (const std::string reason = test::mountSkipReason(); !reason.empty())
        GTEST_SKIP() << reason;
    // Each target is a tmpfs of its own, so that the fault cannot reach anything else.
    const MidRunFault faults[] = {
        {"volume unmounted", 2, [](auto& target) { ::umount2(target.c_str(), MNT_DETACH); },
            "No such file or directory", 3, {}},
        {"volume filled by another writer", 1,
            [](auto& target) {
                struct statvfs vfs { };
                ::statvfs(target.c_str(), &vfs);
                const auto free = static_cast<std::size_t>(vfs.f_bavail * vfs.f_frsize);
                std::ofstream(target / "filler", std::ios::binary) << std::string(free - (4 << 20), 'f');
            },
            "No space left on device", 2, {"filler"}},
        {"volume made read-only", 4,
            [](auto& target) { ::mount(nullptr, target.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr); },
            "Read-only file system", 7, {"DriveSpeedTest.txt"}},
    };
    for (const MidRunFault& fault : faults) {
        TempDir dir;
        auto mount = ScopedMount::tmpfs(dir.path(), "64m");
        ASSERT_TRUE(mount.mounted()) << mount.error();
        view = {};
        view.onPump = [&] {
            if (view.lastShownRow == fault.afterRow && afterRow[fault.afterRow].pumps == 1)
                fault.strike(dir.path());
        };
        EXPECT_EQ(runIn(dir.path()), RunOutcome::Failed) << fault.name;
        expectFailure(fault.name, fault.reason, fault.rowsShown);
        EXPECT_EQ(entries(dir.path()), fault.leftBehind) << fault.name;
    }
    // A test file that cannot be removed is named in the message, not silently left.
    EXPECT_NE(view.statuses.back().find("测试文件未能删除"), std::string::npos) << view.statuses.back();
}

TEST_F(FaultTest, ATargetThatCannotHoldTheRunIsRefusedOrSparedItsReserve)
{
    if (const std::string reason = test::mountSkipReason(); !reason.empty())
        GTEST_SKIP() << reason;
    const struct {
        const char* name;
        const char* size;
        double clockStep;
        RunOutcome outcome;
        const char* reason; // for a refusal
    } cases[] = {
        // 0.1 ms a reading: three seconds would be 30000 writes, twice what fits.
        {"tiny volume: the sustained write ends early", "16m", 0.0001, RunOutcome::Completed, ""},
        {"volume too small for the run", "8m", 0.001, RunOutcome::Failed, "磁盘可用空间不足"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto mount = ScopedMount::tmpfs(dir.path(), c.size);
        ASSERT_TRUE(mount.mounted()) << mount.error();
        view = {};
        struct statvfs vfs { };
        ::statvfs(dir.path().c_str(), &vfs);
        const double reserve = static_cast<double>(vfs.f_blocks) * vfs.f_frsize / 10;
        double leastFree = 1e18;
        view.onPump = [&] {
            ::statvfs(dir.path().c_str(), &vfs);
            leastFree = std::min(leastFree, static_cast<double>(vfs.f_bavail) * vfs.f_frsize);
        };
        ASSERT_EQ(runIn(dir.path(), c.clockStep), c.outcome) << c.name << ": " << view.statuses.back();
        EXPECT_GE(leastFree, reserve) << c.name;
        EXPECT_TRUE(entries(dir.path()).empty()) << c.name;
        if (c.outcome == RunOutcome::Failed) {
            expectFailure(c.name, c.reason, 0);
            continue;
        }
        const double lines = static_cast<double>(afterRow[4].file1) / kLineBytes;
        EXPECT_LT(lines, 15000) << c.name;
        EXPECT_EQ(lastRun.rows()[4].measured->cut, CutShort::Space) << c.name;
        EXPECT_EQ(lastRun.rows()[4].measured->bytes, afterRow[4].file1) << c.name;
        // Divided by the time the cut-short write lasted (a reading per write and one for
        // the test that ended it), not by 3.
        EXPECT_NEAR(lastRun.rows()[4].measured->value, lines / ((lines + 1) * c.clockStep), 0.01) << c.name;
    }
}

std::uint64_t availableBytes(const fs::path& directory)
{
    struct statvfs vfs { };
    ::statvfs(directory.c_str(), &vfs);
    return std::uint64_t{vfs.f_bavail} * vfs.f_frsize;
}

// Another program's file of the given size, its space taken at once.
void takeSpace(const fs::path& at, std::uint64_t bytes)
{
    const int fd = ::open(at.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::posix_fallocate(fd, 0, static_cast<off_t>(bytes)), 0);
    ::close(fd);
}

TEST_F(FaultTest, AnotherWriterOnTheVolumeNeverDrivesTheRunIntoTheReserve)
{
    if (const std::string reason = test::mountSkipReason(); !reason.empty())
        GTEST_SKIP() << reason;
    // On a 64 MiB tmpfs, with the sustained write wanting 30000 lines: another program
    // takes part of the room above the reserve at some moment.
    const struct {
        const char* name;
        int afterRow;       // strikes at the first pump after this row, or
        int atRowFourClock; // at this reading of the clock in row 4
        double share;       // of the room above the reserve
        RunOutcome outcome;
    } cases[] = {
        {"half the room, taken before the sustained write", 3, 0, 0.5, RunOutcome::Completed},
        {"three quarters of the room, taken during the sustained write", -1, 100, 0.75, RunOutcome::Completed},
        {"room the copy needs, taken before the copy", 6, 0, 0.6, RunOutcome::Failed},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto mount = ScopedMount::tmpfs(dir.path(), "64m");
        ASSERT_TRUE(mount.mounted()) << mount.error();
        view = {};
        struct statvfs vfs { };
        ::statvfs(dir.path().c_str(), &vfs);
        const std::uint64_t reserve = std::uint64_t{vfs.f_blocks} * vfs.f_frsize / 10;
        std::uint64_t leastFree = UINT64_MAX;
        const auto strike = [&] {
            const auto room = static_cast<double>(availableBytes(dir.path()) - reserve);
            takeSpace(dir / "other program's file", static_cast<std::uint64_t>(room * c.share));
        };
        int rowFourReadings = 0;
        view.onPump = [&] {
            leastFree = std::min(leastFree, availableBytes(dir.path()));
            if (c.afterRow >= 0 && view.lastShownRow == c.afterRow && afterRow[c.afterRow].pumps == 1)
                strike();
        };
        onClock = [&] {
            leastFree = std::min(leastFree, availableBytes(dir.path()));
            if (view.lastShownRow == 3 && ++rowFourReadings == c.atRowFourClock)
                strike();
        };
        EXPECT_EQ(runIn(dir.path(), 0.0001), c.outcome) << c.name << ": " << view.statuses.back();
        onClock = nullptr;
        EXPECT_GE(leastFree, reserve) << c.name;
        EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"other program's file"}) << c.name;
        if (c.outcome == RunOutcome::Failed) {
            expectFailure(c.name, "磁盘可用空间不足", 7);
            continue;
        }
        EXPECT_EQ(afterRow[7].file2, afterRow[4].file1) << c.name;
        EXPECT_LT(afterRow[4].file1, 30000 * kLineBytes) << c.name;
    }
}

TEST_F(FaultTest, AFileSizeLimitEndsTheSustainedWriteEarlyOrRefusesTheRun)
{
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const struct {
        const char* name;
        rlim_t limit;
        RunOutcome outcome;
    } cases[] = {
        // 0.1 ms a reading: three seconds would be 30000 lines, 30 MB.
        {"a limit below the sustained write's file", 20'000'000, RunOutcome::Completed},
        {"a limit below the large file", 5'000'000, RunOutcome::Failed},
    };
    for (const auto& c : cases) {
        TempDir dir;
        view = {};
        setFileSizeLimit(c.limit);
        const RunOutcome outcome = runIn(dir.path(), 0.0001);
        setFileSizeLimit(RLIM_INFINITY);
        EXPECT_EQ(outcome, c.outcome) << c.name << ": " << view.statuses.back();
        EXPECT_TRUE(entries(dir.path()).empty()) << c.name;
        if (c.outcome == RunOutcome::Failed) {
            expectFailure(c.name, "放不下", 0);
            continue;
        }
        const double lines = static_cast<double>(afterRow[4].file1) / kLineBytes;
        EXPECT_LE(afterRow[4].file1, c.limit) << c.name;
        EXPECT_GT(afterRow[4].file1, c.limit - kLineBytes) << c.name;
        EXPECT_EQ(afterRow[7].file2, afterRow[4].file1) << c.name;
        EXPECT_EQ(lastRun.rows()[4].measured->cut, CutShort::FileSizeLimit) << c.name;
        // A note for each quarter second the window reached, none for those it did not.
        EXPECT_EQ(lastRun.rows()[4].measured->progress.quarters,
            static_cast<int>(lastRun.rows()[4].measured->seconds * kQuartersPerSecond))
            << c.name;
        // Divided by the time the cut-short write lasted, not by 3.
        EXPECT_NEAR(lastRun.rows()[4].measured->value, lines / ((lines + 1) * 0.0001), 0.01) << c.name;
    }
    std::signal(SIGXFSZ, previousHandler);
}

TEST_F(FaultTest, AReadOnlyTargetIsRefusedWithNothingCreated)
{
    if (const std::string reason = test::mountSkipReason(); !reason.empty())
        GTEST_SKIP() << reason;
    TempDir source;
    TempDir dir;
    const auto mount = ScopedMount::readOnlyBind(source.path(), dir.path());
    ASSERT_TRUE(mount.mounted() && mount.error().empty()) << mount.error();
    EXPECT_EQ(runIn(dir.path()), RunOutcome::Failed);
    expectFailure("read-only target", "Read-only file system", 0);
    EXPECT_TRUE(entries(source.path()).empty());
}

TEST_F(FaultTest, DirectoriesWithOddNamesAreMeasuredInPlace)
{
    TempDir parent;
    for (const char* name : {"with blank", "with\ttab", "with\\backslash", "with\nnewline", "中文目录", "-leading dash",
             "\\040 looks escaped"}) {
        const fs::path target = parent / name;
        fs::create_directory(target);
        view = {};
        EXPECT_EQ(runIn(target), RunOutcome::Completed) << name << ": " << view.statuses.back();
        EXPECT_EQ(afterRow[0].file1, static_cast<std::uintmax_t>(rowSpec(0).workload.times))
            << name; // written inside the directory itself
        EXPECT_TRUE(entries(target).empty()) << name;
        EXPECT_EQ(entries(parent.path()).size(), 1u) << name;
        fs::remove(target);
    }
}

std::size_t openDescriptors()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

// AddressSanitizer holds freed memory in quarantine, so only a plain build can tell a leak
// from resident memory.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryTells = false;
#else
constexpr bool kResidentMemoryTells = true;
#endif

std::size_t residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stoul(line.substr(6));
    return 0;
}

TEST_F(FaultTest, TwoHundredRunsHoldNoMoreDescriptorsOrMemoryThanTen)
{
    TempDir dir;
    std::optional<ScopedMount> mount;
    if (test::mountSkipReason().empty())
        mount.emplace(ScopedMount::tmpfs(dir.path(), "256m"));
    const auto runs = [&](int count) {
        for (int i = 0; i < count; ++i) {
            view = {};
            ASSERT_EQ(runIn(dir.path()), RunOutcome::Completed) << "run " << i;
        }
    };
    runs(10);
    const std::size_t descriptors = openDescriptors();
    const std::size_t resident = residentKilobytes();
    runs(190);
    EXPECT_EQ(openDescriptors(), descriptors);
    if (kResidentMemoryTells) {
        EXPECT_LT(residentKilobytes(), resident + 4096);
    }
    EXPECT_TRUE(entries(dir.path()).empty());
}

} // namespace
} // namespace quvo::bench
