#include "sim/recorder/DownloadCampaign.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A short run of the campaign: faults of every kind, and not one recording lost or damaged.
TEST(DownloadCampaign, ShortRunLosesNothing)
{
    QTemporaryDir work;
    const sim::CampaignCounts c = sim::RunDownloadCampaign(40, 7, work.path());
    EXPECT_EQ(c.runs, 40);
    EXPECT_EQ(c.lost, 0);
    EXPECT_EQ(c.corrupted, 0);
    EXPECT_EQ(c.partiallyWritten, 0);
    EXPECT_EQ(c.erasedWithoutStored, 0);
    EXPECT_EQ(c.overwritten, 0);
    // The faults must not make the campaign trivial: some downloads complete and erase, some do not.
    EXPECT_GT(c.erased, 0);
    EXPECT_LT(c.succeeded, c.runs);
    EXPECT_GT(c.stored, 0);
    // Both sequences, the window's and the command line's, and hot-plug events among the runs.
    EXPECT_GT(c.windowRuns, 0);
    EXPECT_LT(c.windowRuns, c.runs);
    EXPECT_GT(c.arrivals, 0);
    EXPECT_GT(c.wayward, 0);
}

}  // namespace
