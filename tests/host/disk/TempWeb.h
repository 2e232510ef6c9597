#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace disktest {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "varnook-disk-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        path_ = fs::canonical(pattern);
    }
    ~TempDir() { fs::remove_all(path_, ec_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
    std::error_code ec_;
};

// Takes permissions away for a scope, so that cleaning up still works when an assertion fails.
class Permissions {
  public:
    Permissions(fs::path path, fs::perms perms)
        : path_(std::move(path)), old_(fs::status(path_).permissions()) {
        fs::permissions(path_, perms);
    }
    ~Permissions() { fs::permissions(path_, old_, ec_); }

  private:
    fs::path path_;
    fs::perms old_;
    std::error_code ec_;
};

inline void put(const fs::path& path, std::string_view bytes = "") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Names namesIn(const fs::path& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace disktest

// Root reads and writes regardless of permission bits, so those checks only mean something without it.
#define SKIP_WHEN_ROOT()                                                                                     \
    if (::geteuid() == 0)                                                                                    \
    GTEST_SKIP() << "running as root, which ignores permission bits"
