// soundset_bench FILE RUNS: median times of reading and indexing the sound set,
// and of only reading the file into memory.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../../app/SoundSet.h"

namespace {

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool ReadOnly(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    SoundSetImage.Grow(uint32_t(size), uint32_t(size));
    size_t got = std::fread(SoundSetImage.items, 1, size_t(size), file);
    std::fclose(file);
    return got == size_t(size);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: soundset_bench FILE RUNS\n", stderr);
        return 1;
    }
    int runs = std::atoi(argv[2]);
    if (runs < 1) runs = 1;
    std::vector<double> read, index;
    for (int i = 0; i < runs; ++i) {
        double t0 = Now();
        if (!ReadOnly(argv[1])) {
            std::fprintf(stderr, "soundset_bench: cannot read \"%s\"\n", argv[1]);
            return 1;
        }
        double t1 = Now();
        ResetSoundSet();
        double t2 = Now();
        if (!ReadSoundSet(argv[1])) {
            std::fprintf(stderr, "soundset_bench: cannot index \"%s\"\n", argv[1]);
            return 1;
        }
        double t3 = Now();
        read.push_back(t1 - t0);
        index.push_back(t3 - t2);
    }
    std::printf("file_read_median_ms %.3f runs %d\n", Median(read), runs);
    std::printf("read_sound_set_median_ms %.3f runs %d instruments %u bytes %u\n", Median(index), runs,
                instruments.count, SoundSetImage.count);
    ResetSoundSet();
    return 0;
}
