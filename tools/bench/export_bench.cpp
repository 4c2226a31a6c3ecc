// export_bench FILE RUNS: the export of every wave of the sound set with
// index.csv (dlsindex --export) beside its floor, writing the same bytes in
// as many files (CreateFileW, one WriteFile, CloseHandle), alternated run by
// run into two folders of the temporary folder, each over its last run's
// files. Prints the median times and the median of the pairs' ratios.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../sound/SoundSet.h"
#include "../dlsindex/Export.h"
#include "timing.h"

namespace {

struct File {
    std::wstring name;
    std::string bytes;
};

// Every file of `folder`, read back whole.
std::vector<File> ReadFolder(const std::wstring& folder) {
    std::vector<File> files;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        File file{found.cFileName, std::string()};
        if (FILE* f = _wfopen((folder + L"\\" + file.name).c_str(), L"rb")) {
            char buffer[65536];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) file.bytes.append(buffer, n);
            std::fclose(f);
        }
        files.push_back(file);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

bool WriteFloor(const std::wstring& folder, const std::vector<File>& files) {
    for (const File& file : files) {
        HANDLE h = CreateFileW((folder + L"\\" + file.name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD done = 0;
        const BOOL wrote = WriteFile(h, file.bytes.data(), DWORD(file.bytes.size()), &done, nullptr);
        CloseHandle(h);
        if (!wrote || done != file.bytes.size()) return false;
    }
    return true;
}

void RemoveFolder(const std::wstring& folder) {
    for (const File& file : ReadFolder(folder)) DeleteFileW((folder + L"\\" + file.name).c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || !ReadSoundSet(argv[1])) {
        std::fputs("usage: export_bench FILE RUNS (a readable sound set)\n", stderr);
        return 1;
    }
    const int runs = std::atoi(argv[2]) > 0 ? std::atoi(argv[2]) : 1;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"orven-export-bench-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring exported = root + L"\\export", floor = root + L"\\floor";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(floor.c_str(), nullptr);

    bool ok = true;
    auto exportOnce = [&] {
        CExportResult result;
        ok = ExportSoundSet(exported.c_str(), result) && ok;
    };
    exportOnce();
    const std::vector<File> files = ReadFolder(exported);
    size_t bytes = 0;
    for (const File& file : files) bytes += file.bytes.size();
    ok = WriteFloor(floor, files) && ok;

    std::vector<double> exports, floors, ratios;
    for (int i = 0; i < runs; ++i) {
        double t = Now();
        exportOnce();
        exports.push_back(Now() - t);
        t = Now();
        ok = WriteFloor(floor, files) && ok;
        floors.push_back(Now() - t);
        ratios.push_back(exports.back() / floors.back());
    }
    RemoveFolder(exported);
    RemoveFolder(floor);
    RemoveDirectoryW(root.c_str());
    FreeInstrumentNames();
    if (!ok) {
        std::fputs("export_bench: a file could not be written\n", stderr);
        return 1;
    }
    std::printf("export_files %u\n", unsigned(files.size()));
    std::printf("export_bytes %u\n", unsigned(bytes));
    std::printf("export_median_ms %.3f\n", Median(exports));
    std::printf("export_floor_median_ms %.3f\n", Median(floors));
    std::printf("export_pair_ratio_median %.3f\n", Median(ratios));
    return 0;
}
