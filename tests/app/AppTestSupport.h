#pragma once

#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

// Helpers for running the varnook program on small webs and deploying them for real.
namespace apptest {

inline const std::string Varnook = VARNOOK_BIN;
inline const std::string Header = "vti_encoding:SR|utf8-nl\r\n";
inline const std::string Marked = Header + "vti_donotpublish:BW|true\r\n";

// Writes the metadata file that marks a file (rel) or, with folder, a folder of the web at webDir.
inline void markOnDisk(const testsupport::TempDir& dir, const std::string& web, const std::string& rel,
                       bool folder = false) {
    const std::filesystem::path item(rel);
    const std::string parent = item.parent_path().string();
    const std::string meta =
        folder ? web + "/" + rel + "/_vti_cnf/.fp_folder_info"
               : web + "/" + (parent.empty() ? "" : parent + "/") + "_vti_cnf/" + item.filename().string();
    dir.write(meta, Marked);
}

// Every file and folder below root, as paths with "/" (folders without a trailing slash).
inline std::set<std::string> contentsOf(const std::filesystem::path& root) {
    std::set<std::string> out;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it)
        out.insert(std::filesystem::relative(it->path(), root).generic_string());
    return out;
}

// The paths `tree --json` says a deploy sends (the web itself left out).
inline std::set<std::string> deployedByJson(const std::string& web) {
    const auto r = testsupport::run(Varnook, {"tree", "--json", web});
    std::set<std::string> out;
    if (r.exitCode != 0)
        return {"(tree --json failed: " + r.err + ")"};
    for (const auto& node : nlohmann::json::parse(r.out)) {
        if (node["deployed"] == true && node["path"] != ".")
            out.insert(node["path"].get<std::string>());
    }
    return out;
}

// Runs the deploy the README gives: the rules, then rsync into target. Returns rsync's result.
inline testsupport::CommandResult deploy(const std::string& web, const std::filesystem::path& target,
                                         const std::vector<std::string>& extraExcluded = {},
                                         const std::vector<std::string>& rsyncOptions = {}) {
    const auto rules = target.parent_path() / (target.filename().string() + ".rules");
    std::vector<std::string> args{"excluded", "--format", "rsync"};
    args.insert(args.end(), extraExcluded.begin(), extraExcluded.end());
    args.push_back(web);
    const auto r = testsupport::run(Varnook, args);
    if (r.exitCode != 0)
        return r;
    { std::ofstream(rules, std::ios::binary) << r.out; }
    std::vector<std::string> rsync{"-a"};
    rsync.insert(rsync.end(), rsyncOptions.begin(), rsyncOptions.end());
    rsync.push_back("--filter=merge " + rules.string());
    rsync.push_back(web + "/");
    rsync.push_back(target.string() + "/");
    return testsupport::run("rsync", rsync);
}

// Runs the program with its standard output going to a file (such as /dev/full).
inline testsupport::CommandResult runToFile(const std::vector<std::string>& args,
                                            const std::string& outPath) {
    testsupport::TempDir scratch;
    std::string cmd = testsupport::shellQuote(Varnook);
    for (const auto& a : args)
        cmd += " " + testsupport::shellQuote(a);
    cmd +=
        " >" + testsupport::shellQuote(outPath) + " 2>" + testsupport::shellQuote((scratch / "err").string());
    const int status = std::system(cmd.c_str());
    testsupport::CommandResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = testsupport::readFile(scratch / "err");
    return r;
}

// Every file's bytes below root, to show that a command wrote nothing.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& p : contentsOf(root)) {
        const auto full = root / p;
        out[p] = std::filesystem::is_regular_file(full) ? testsupport::readFile(full) : "(folder)";
    }
    return out;
}

} // namespace apptest
