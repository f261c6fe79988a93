// Stands in for libFuzzer where there is none (GCC trees): runs the fuzz
// target once on an empty input, then on every file named on the command
// line and every file in the folders named there, in name order. Arguments
// starting with '-' (libFuzzer's options) are ignored, so one command line
// serves both builds. A fault stops the program as it would the fuzzer;
// exit status 2 means an input could not be read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            continue;
        std::error_code ec;
        if (fs::is_directory(argv[i], ec)) {
            std::vector<fs::path> files;
            for (const auto &f : fs::directory_iterator(argv[i], ec))
                if (f.is_regular_file())
                    files.push_back(f.path());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else {
            inputs.emplace_back(argv[i]);
        }
        if (ec) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(""), 0);
    for (const auto &path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
            return 2;
        }
        const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    }
    std::printf("%s: %zu inputs\n", argv[0], inputs.size() + 1);
    return 0;
}
