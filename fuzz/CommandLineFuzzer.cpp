// Any argument list given to varnook, run in a sandbox folder holding a small web: the program never
// crashes, ends with 0, 1 or 2, and says why whenever it fails.
#include "app/cli/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The web lies in a memory file system where there is one: `toggle` syncs every file it writes.
struct Sandbox {
    fs::path dir;
    std::set<fs::path> original;

    Sandbox() {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "varnook-fuzz-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir = fs::canonical(pattern);
        for (const char* folder : {"web/images", "web/docs/old", "web/empty"})
            fs::create_directories(dir / folder);
        for (const char* file : {"web/index.htm", "web/images/a.gif", "web/docs/old/x.txt",
                                 "web/docs/b c.htm", "web/docs/[1]*.htm", "notes.txt"})
            std::ofstream(dir / file) << "x";
        fs::create_directories(dir / "web/_vti_cnf");
        std::ofstream(dir / "web/_vti_cnf/index.htm")
            << "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n";
        if (::chdir(dir.c_str()) != 0)
            std::abort();
        original = entries();
    }
    ~Sandbox() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // What the web and the sandbox hold at their top, where a command given a new name creates it.
    std::set<fs::path> entries() const {
        std::set<fs::path> out;
        std::error_code ec;
        for (const auto& top : {dir, dir / "web"})
            for (fs::directory_iterator it(top, ec), end; !ec && it != end; it.increment(ec))
                out.insert(it->path());
        return out;
    }
    // `icons` makes the folder it is given; those folders go again so the sandbox stays small.
    void tidy() {
        for (const auto& path : entries())
            if (!original.count(path)) {
                std::error_code ec;
                fs::remove_all(path, ec);
            }
    }
};

// Arguments stay inside the sandbox: no absolute path, no home folder, no way up.
bool staysInside(const std::string& arg) {
    return !arg.starts_with('/') && !arg.starts_with('~') && arg.find("..") == std::string::npos &&
           arg.find('=') == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Sandbox box;
    // NUL separates the arguments.
    std::vector<std::string> args{"varnook"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    args.push_back(current);
    if (args.size() > 9 || !std::all_of(args.begin(), args.end(), staysInside))
        return 0;
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);

    std::ostringstream out, err;
    bool windowOpened = false;
    const int status = app::runCommandLine(static_cast<int>(args.size()), argv.data(), out, err,
                                           [&](const std::optional<std::string>&) {
                                               windowOpened = true;
                                               return 0;
                                           });
    box.tidy();
    const std::string said = err.str();
    if (status != 0 && status != 1 && status != 2) {
        std::fprintf(stderr, "command-line fuzzer: exit status %d\n%s", status, said.c_str());
        std::abort();
    }
    // A failure is never silent: its last line says what went wrong, in varnook's own words.
    if (status == 1) {
        const auto start = said.rfind('\n', said.size() >= 2 ? said.size() - 2 : 0);
        const std::string last = said.substr(start == std::string::npos ? 0 : start + 1);
        if (!last.starts_with("varnook: ") || last.starts_with("varnook: warning:") ||
            !last.ends_with("\n")) {
            std::fprintf(stderr, "command-line fuzzer: exit status 1 without its reason\n%s", said.c_str());
            std::abort();
        }
    }
    if (status == 2 && said.empty()) {
        std::fprintf(stderr, "command-line fuzzer: a usage error without a message\n");
        std::abort();
    }
    if (windowOpened && status != 0)
        std::abort();
    return 0;
}
