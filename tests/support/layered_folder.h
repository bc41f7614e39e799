#pragma once
// The sample game folder with files of a test's or a benchmark's own laid
// over it, so that they bring data of their own without copying the sample.
#include <filesystem>
#include <string>

namespace testsupport {

// The survival level of tests/data: the busy office that the level tests
// and the benchmarks play. The game never offers a level of this number.
constexpr int kBusySurvivalLevel = 9;

// Links every entry of `sample` and of `own` into `into`, the own one where
// both have it; a folder both have is laid the same way inside.
inline void LayGameFolder(const std::filesystem::path& sample, const std::filesystem::path& own,
                          const std::filesystem::path& into) {
    namespace fs = std::filesystem;
    fs::create_directories(into);
    for (const fs::path& from : {sample, own}) {
        if (!fs::is_directory(from)) continue;
        const fs::path& other = from == sample ? own : sample;
        for (const fs::directory_entry& entry : fs::directory_iterator(from)) {
            const fs::path name = entry.path().filename();
            const fs::path to = into / name;
            if (entry.is_directory() && fs::is_directory(other / name)) {
                if (from == sample) LayGameFolder(entry.path(), other / name, to);
                continue;
            }
            fs::remove(to);
            fs::create_symlink(fs::absolute(entry.path()), to);
        }
    }
}

} // namespace testsupport
