// Stands in for libFuzzer's main in the normal build: feeds the harness every file found
// under the directories (or the files) named on the command line. A directory that does
// not exist is skipped (a target may have no regressions yet), but at least one input
// must have been fed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool Feed(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    namespace fs = std::filesystem;
    int fed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (fs::is_regular_file(path)) {
            ok = Feed(path) && ok;
            ++fed;
            continue;
        }
        if (!fs::is_directory(path)) continue;
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(path))
            if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            ok = Feed(file) && ok;
            ++fed;
        }
    }
    std::printf("%d inputs replayed\n", fed);
    if (fed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    return ok ? 0 : 1;
}
