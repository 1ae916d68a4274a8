// download-campaign: the download's fault-injection campaign (see
// sim/recorder/DownloadCampaign.h). Prints the counts; exit status 0 only when
// no recording was lost, corrupted, partially written, overwritten or erased
// without being stored.
#include "sim/recorder/DownloadCampaign.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 1000;
    std::uint32_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
            seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        } else {
            std::fprintf(stderr, "Usage: download-campaign [--runs N (1000)] [--seed S (1)]\n");
            return 2;
        }
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "download-campaign: no temporary folder\n");
        return 1;
    }
    const sim::CampaignCounts c = sim::RunDownloadCampaign(runs, seed, work.path());
    std::printf("runs %d (%d through the download window's sequence, %d with a hot-plug event), downloads complete "
                "%d, recorders erased %d\n",
                c.runs, c.windowRuns, c.arrivals, c.succeeded, c.erased);
    std::printf("recorders pulled out and put back %d, answering twice or late %d\n", c.replugs, c.wayward);
    std::printf("recordings %d, stored intact %d\n", c.recordings, c.stored);
    std::printf("lost %d, corrupted %d, partially written %d, erased without being stored %d, overwritten %d\n",
                c.lost, c.corrupted, c.partiallyWritten, c.erasedWithoutStored, c.overwritten);
    return c.bad() == 0 ? 0 : 1;
}
