#pragma once
#include <QString>
#include <cstdint>

// The fault-injection campaign of the download: many downloads (each followed
// by the erase when the job allows it, through the command line's sequence or
// the download window's) against the in-process simulated recorder on a fake
// clock, each with random faults and hot-plug events, and a check after each
// that every recording the recorder held is either still in the recorder or
// stored intact in the library.

namespace sim {

struct CampaignCounts {
    int runs = 0;
    int succeeded = 0;  // downloads that stored everything
    int erased = 0;     // recorders erased afterwards
    int recordings = 0;
    int stored = 0;     // recordings verified on disk after their run
    int windowRuns = 0; // runs through the download window's sequence
    int arrivals = 0;   // runs with a hot-plug event during the download
    int replugs = 0;    // runs whose recorder was pulled out and put back
    int wayward = 0;    // runs whose recorder answers twice or late
    // Every one of these must stay 0.
    int lost = 0;                   // neither in the recorder nor intact on disk
    int corrupted = 0;              // a file of this run whose samples, header or block differ
    int partiallyWritten = 0;       // unreadable, truncated or temporary files left in the library
    int erasedWithoutStored = 0;    // the recorder was erased while a recording was not stored
    int overwritten = 0;            // a file that was there before the run was changed

    int bad() const { return lost + corrupted + partiallyWritten + erasedWithoutStored + overwritten; }
};

// Runs `runs` downloads with faults drawn from `seed`; `workFolder` holds the libraries (one per run,
// removed after its check). progress, when set, is called after every run.
CampaignCounts RunDownloadCampaign(int runs, std::uint32_t seed, const QString& workFolder,
                                   void (*progress)(int run, const CampaignCounts&) = nullptr);

}  // namespace sim
