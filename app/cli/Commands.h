#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace app {

// A command-line mistake the user can correct: exit status 2.
struct UsageError {
    std::string message;
};

// What a command leaves behind beside its output.
struct Outcome {
    int exitCode = 0;
    bool webChanged = false; // a mark of the web was written and is different now
};

// Each command prints its result on `out`, says what it left out on `warnings`, and throws
// host::Failure (exit status 1) or UsageError (exit status 2). A command prints only once its work is
// done, so that one which fails prints nothing: `out` may go straight to standard output.

enum class TreeFormat { Readable, Tsv, Json };
Outcome runTree(const std::string& webPath, TreeFormat format, std::ostream& out, std::ostream& warnings);

// toggle: "Don't Publish" chosen on each item as the window offers it. mark / unmark: the command in one
// direction whatever the item shows now, so running it again changes nothing more.
enum class MarkDirection { Toggle, Mark, Unmark };
struct MarkOptions {
    bool tsv = false;    // print the tree afterwards instead of the changes
    bool json = false;   // print the changes as JSON: each item changed, as tree --json has it, and how
    bool quiet = false;  // print nothing
    bool dryRun = false; // go through every step, write nothing
    bool init = false;   // allow a folder that is not a web yet, and make it one
    bool noWait = false; // fail at once while another varnook changes the web, rather than wait
    std::vector<std::string> patterns; // every item matching one of these too (mark and unmark)
};
Outcome runMarking(const std::string& webPath, const std::vector<std::string>& items, MarkDirection direction,
                   const MarkOptions& options, std::ostream& out, std::ostream& warnings);

enum class ExcludedFormat { List, Rsync, Gitignore, Json };
// keepMetadata: leave the editor's "_vti_*" files and folders in the deploy.
Outcome runExcluded(const std::string& webPath, ExcludedFormat format, bool keepMetadata, std::ostream& out,
                    std::ostream& warnings);

// The links of deployed pages that a deploy would break; exit status 1 when there is one.
enum class CheckFormat { Text, Json };
// orphans: instead of the links, the published files that no published page reaches from the home page.
Outcome runCheck(const std::string& webPath, CheckFormat format, bool keepMetadata, bool orphans,
                 std::ostream& out, std::ostream& warnings);

// Writes every image of the window's image list as DIR/<key>.png, and the window's icon as DIR/icon.png.
Outcome runIcons(const std::string& dir, std::ostream& out);

} // namespace app
