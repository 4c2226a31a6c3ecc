// gigbench FILE RUNS: median time for libgig to load a DLS file and enumerate
// every instrument, region and sample (native, for comparison).
#include <DLS.h>
#include <RIFF.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: gigbench FILE RUNS\n");
        return 1;
    }
    int runs = std::max(1, std::atoi(argv[2]));
    std::vector<double> times;
    unsigned long instruments = 0, regions = 0, samples = 0, frames = 0;
    try {
        for (int run = 0; run < runs; ++run) {
            instruments = regions = samples = frames = 0;
            auto start = std::chrono::steady_clock::now();
            RIFF::File riff(argv[1]);
            DLS::File dls(&riff);
            for (DLS::Instrument* ins = dls.GetFirstInstrument(); ins; ins = dls.GetNextInstrument()) {
                ++instruments;
                for (DLS::Region* r = ins->GetFirstRegion(); r; r = ins->GetNextRegion()) ++regions;
                frames += ins->pInfo->Name.size();
            }
            for (DLS::Sample* s = dls.GetFirstSample(); s; s = dls.GetNextSample()) {
                ++samples;
                frames += s->GetSize();
            }
            auto end = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    } catch (RIFF::Exception& e) {
        std::fprintf(stderr, "gigbench: %s\n", e.Message.c_str());
        return 1;
    }
    std::sort(times.begin(), times.end());
    double median = times.size() % 2 ? times[times.size() / 2]
                                     : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    std::printf("libgig_median_ms %.3f runs %d instruments %lu regions %lu samples %lu\n", median, runs,
                instruments, regions, samples);
    return frames ? 0 : 1;
}
