// SPDX-License-Identifier: MIT
// A run on Windows meets the drive: every read goes past the cache, from which Windows
// cannot drop one file, and nothing is written through, which Linux's direct writes
// are not either.
#include "bench/measurement_run.h"

#include "tests/bench/run_fixture.h"
#include "tests/support/windows/transfers.h"

#include <gtest/gtest.h>

namespace quvo::bench {
namespace {

class RunTransfers : public RunFixture { };

TEST_F(RunTransfers, EveryReadIsUnbufferedAndNoWriteIsWrittenThrough)
{
    test::TempDir dir;
    const test::Transfers before = test::transfersSoFar();
    ASSERT_EQ(runIn(dir.path()), RunOutcome::Completed) << view.statuses.back();
    const test::Transfers run = test::transfersSoFar() - before;
    EXPECT_GT(run.reads, 0u);
    EXPECT_EQ(run.unbufferedReads, run.reads);
    EXPECT_GT(run.unbufferedWrites, 0u) << "the sustained write goes unbuffered";
    EXPECT_EQ(run.writtenThrough, 0u);
}

} // namespace
} // namespace quvo::bench
