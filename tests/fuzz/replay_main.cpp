// Runs a fuzz target once on each input file, for builds without libFuzzer:
// the seed corpus becomes a regression test of the target's checks.
//
// Arguments: files, or directories whose files are all run.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize);

namespace {

bool Collect(const std::filesystem::path& aPath, std::vector<std::filesystem::path>& aFiles) {
    std::error_code error;
    if (std::filesystem::is_directory(aPath, error)) {
        for (const auto& entry : std::filesystem::directory_iterator(aPath, error)) {
            if (entry.is_regular_file(error)) aFiles.push_back(entry.path());
        }
    } else if (std::filesystem::is_regular_file(aPath, error)) {
        aFiles.push_back(aPath);
    } else {
        std::fprintf(stderr, "replay: no such input: %s\n", aPath.c_str());
        return false;
    }
    return !error;
}

}  // namespace

int main(int aArgCnt, char** aArgList) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < aArgCnt; ++i) {
        if (!Collect(aArgList[i], files)) return 1;
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
            return 1;
        }
        // Like libFuzzer, never a null pointer, also for an empty input.
        static const std::uint8_t KNothing = 0;
        const std::uint8_t* data =
            bytes.empty() ? &KNothing : reinterpret_cast<const std::uint8_t*>(bytes.data());
        LLVMFuzzerTestOneInput(data, bytes.size());
    }
    // An empty corpus would pass without testing anything.
    std::fprintf(stderr, "replay: %zu inputs passed\n", files.size());
    return files.empty() ? 1 : 0;
}
