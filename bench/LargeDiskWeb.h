#pragma once

// The large web on disk the benchmarks share: 100 folders of 50 pages and 150 pictures (20,000 files, of
// which 5,000 are pages with a dozen links each), every tenth file and two whole folders marked.

#include <filesystem>

namespace bench {

inline constexpr int Folders = 100;
inline constexpr int PagesPerFolder = 50;
inline constexpr int OtherFilesPerFolder = 150;

// Built once per process in a temporary folder, removed at exit.
const std::filesystem::path& largeWeb();

} // namespace bench
