#include "app/CommandLine.h"

#include "host/disk/SystemErrors.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <vector>

namespace app {
namespace {

constexpr std::array<const char*, 8> Commands{"tree",     "toggle", "mark",  "unmark",
                                              "excluded", "check",  "icons", "help"};

bool isCommand(const std::string& word) {
    return std::find(Commands.begin(), Commands.end(), word) != Commands.end();
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string unknownCommand(const std::string& word) {
    std::string message = "unknown command '" + word + "'";
    if (const auto nearest = nearestCommand(word))
        message += "; did you mean '" + *nearest + "'?";
    return message;
}

// The top level takes an optional WEB, so "varnook tre web" would otherwise read "tre" as the web and
// blame "web". Two words without a known command first, or one that names neither a command nor a
// folder but is close to a command, are a mistyped command.
void rejectMistypedCommand(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            for (++i; i < argc; ++i)
                words.emplace_back(argv[i]);
            break;
        }
        if (!arg.starts_with("-"))
            words.push_back(arg);
    }
    if (words.empty() || isCommand(words.front()))
        return;
    if (words.size() > 1)
        throw UsageError{unknownCommand(words.front())};
    std::error_code ec;
    if (!std::filesystem::exists(words.front(), ec) && nearestCommand(words.front()))
        throw UsageError{unknownCommand(words.front()) + " (and no folder of that name)"};
}

// CLI11 may say one thing over several lines; the program's errors are one line each.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// Every value a command line can set, kept alive for the command run after parsing.
struct Values {
    std::string web;
    std::vector<std::string> items;
    bool tsv = false;
    bool json = false;
    MarkOptions mark;
    std::string format;
    bool keepMetadata = false;
    std::string dir;
    std::string helpTopic;
};

const char* const WebHelp = "The folder of the web";
const char* const TsvHelp =
    "One TAB-separated line per node: depth, key, text, image, selected image, expanded";

CLI::App* addMarkingCommand(CLI::App& cli, const char* name, const char* description, Values& v) {
    auto* command = cli.add_subcommand(name, description);
    command->add_flag("--tsv", v.mark.tsv, std::string(TsvHelp) + " (the tree after the change)");
    command->add_flag("-q,--quiet", v.mark.quiet, "Print nothing");
    command->add_flag("-n,--dry-run", v.mark.dryRun, "Say what would change, write nothing");
    command->add_flag("--init", v.mark.init, "Allow a folder that is not a web yet, and make it one");
    command->add_flag("--no-wait", v.mark.noWait,
                      "Fail at once when another varnook is changing the web, instead of waiting for it");
    command->add_option("WEB", v.web, WebHelp)->required();
    command
        ->add_option("ITEM", v.items, "An item's path below the web, \"/\" between names; \".\" is the web")
        ->required();
    return command;
}

} // namespace

std::optional<std::string> nearestCommand(const std::string& word) {
    std::optional<std::string> best;
    std::size_t bestDistance = 3; // further than two edits is a different word
    for (const char* command : Commands) {
        const std::size_t d = editDistance(word, command);
        if (d < bestDistance && d < std::string(command).size()) {
            best = command;
            bestDistance = d;
        }
    }
    return best;
}

Invocation parseCommandLine(int argc, char** argv, std::ostream& out) {
    rejectMistypedCommand(argc, argv);

    CLI::App cli{"varnook: mark the files and folders of a web that are not to be published", "varnook"};
    cli.set_version_flag("--version", "varnook " VARNOOK_VERSION);
    cli.require_subcommand(0, 1);
    auto v = std::make_shared<Values>();
    std::string windowWeb;
    auto* windowWebOption = cli.add_option(
        "WEB", windowWeb,
        "With no command: the folder of the web to open in the terminal window (default: a copy of the "
        "bundled sample web)");

    auto* help = cli.add_subcommand("help", "Print the help of varnook or of one command");
    help->add_option("COMMAND", v->helpTopic, "The command");

    auto* tree = cli.add_subcommand("tree", "Print the tree of the web as the publishing window shows it");
    auto* tsv = tree->add_flag("--tsv", v->tsv, TsvHelp);
    tree->add_flag("--json", v->json,
                   "A JSON array, one object per node: path, kind, image, selectedImage, marked, ownMark, "
                   "deployed, why")
        ->excludes(tsv);
    tree->add_option("WEB", v->web, WebHelp)->required();

    auto* toggle = addMarkingCommand(
        cli, "toggle", "Choose \"Don't Publish\" on each item in turn, as a right-click in the window does",
        *v);
    auto* mark = addMarkingCommand(
        cli, "mark",
        "Mark each item \"Don't Publish\" (a folder with everything in it), whatever it shows now", *v);
    auto* unmark = addMarkingCommand(
        cli, "unmark", "Publish each item again (a folder with everything in it), whatever it shows now", *v);

    auto* excluded = cli.add_subcommand("excluded", "What a deploy leaves out: what the window shows marked");
    v->format = "list";
    excluded->add_option("--format", v->format, "list, rsync (filter rules), gitignore or json")
        ->check(CLI::IsMember({"list", "rsync", "gitignore", "json"}));
    excluded->add_flag("--keep-metadata", v->keepMetadata,
                       "Deploy the editor's _vti_* files and folders too");
    excluded->add_option("WEB", v->web, WebHelp)->required();

    auto* check = cli.add_subcommand(
        "check",
        "Report links of deployed pages to items a deploy leaves out (exit status 1) or that are missing");
    auto* checkFormat =
        check->add_option("--format", v->format, "text or json")->check(CLI::IsMember({"text", "json"}));
    check->add_flag("--keep-metadata", v->keepMetadata, "Deploy the editor's _vti_* files and folders too");
    check->add_option("WEB", v->web, WebHelp)->required();

    auto* icons = cli.add_subcommand(
        "icons", "Write the window's 16x16 images and its icon as PNG files, <key>.png, into a folder");
    icons->add_option("DIR", v->dir, "The folder to write into (made if missing)")->required();

    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << cli.help();
        return {};
    } catch (const CLI::CallForAllHelp&) {
        out << cli.help("", CLI::AppFormatMode::All);
        return {};
    } catch (const CLI::CallForVersion&) {
        out << "varnook " VARNOOK_VERSION "\n";
        return {};
    } catch (const CLI::ParseError& e) {
        throw UsageError{oneLine(e.what())};
    }

    Invocation invocation;
    if (cli.get_subcommands().empty()) {
        invocation.command = Invocation::Window;
        if (windowWebOption->count() > 0)
            invocation.web = windowWeb;
        return invocation;
    }
    if (windowWebOption->count() > 0)
        throw UsageError{"unexpected argument '" + windowWeb + "'"};

    if (help->parsed()) {
        const std::string topic = v->helpTopic;
        if (!topic.empty() && !isCommand(topic))
            throw UsageError{unknownCommand(topic)};
        // Forget the parse, or the program's help would be that of "help" itself.
        cli.clear();
        out << (topic.empty() ? cli.help() : cli.get_subcommand(topic)->help("varnook"));
        return {};
    }

    invocation.command = Invocation::Run;
    if (tree->parsed()) {
        const TreeFormat f = v->json ? TreeFormat::Json : v->tsv ? TreeFormat::Tsv : TreeFormat::Readable;
        invocation.run = [v, f](std::ostream& o, std::ostream& w) { return runTree(v->web, f, o, w); };
    } else if (toggle->parsed() || mark->parsed() || unmark->parsed()) {
        const MarkDirection d = toggle->parsed() ? MarkDirection::Toggle
                                : mark->parsed() ? MarkDirection::Mark
                                                 : MarkDirection::Unmark;
        invocation.run = [v, d](std::ostream& o, std::ostream& w) {
            return runMarking(v->web, v->items, d, v->mark, o, w);
        };
    } else if (excluded->parsed()) {
        const ExcludedFormat f = v->format == "rsync"       ? ExcludedFormat::Rsync
                                 : v->format == "gitignore" ? ExcludedFormat::Gitignore
                                 : v->format == "json"      ? ExcludedFormat::Json
                                                            : ExcludedFormat::List;
        invocation.run = [v, f](std::ostream& o, std::ostream& w) {
            return runExcluded(v->web, f, v->keepMetadata, o, w);
        };
    } else if (check->parsed()) {
        const CheckFormat f =
            checkFormat->count() > 0 && v->format == "json" ? CheckFormat::Json : CheckFormat::Text;
        invocation.run = [v, f](std::ostream& o, std::ostream& w) {
            return runCheck(v->web, f, v->keepMetadata, o, w);
        };
    } else if (icons->parsed()) {
        invocation.run = [v](std::ostream& o, std::ostream&) { return runIcons(v->dir, o); };
    }
    return invocation;
}

} // namespace app

namespace app {

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const WindowOpener& openWindow, bool* webChanged) {
    constexpr int ExitFailure = 1;
    constexpr int ExitUsage = 2;
    try {
        const Invocation invocation = parseCommandLine(argc, const_cast<char**>(argv), out);
        switch (invocation.command) {
        case Invocation::Done:
            return 0;
        case Invocation::Window:
            return openWindow(invocation.web);
        case Invocation::Run: {
            const Outcome outcome = invocation.run(out, err);
            if (webChanged != nullptr)
                *webChanged = outcome.webChanged;
            return outcome.exitCode;
        }
        }
    } catch (const UsageError& e) {
        // Messages quote what was given: a newline or an escape sequence in it must not reach the terminal.
        err << "varnook: " << host::disk::printable(e.message) << "\nRun 'varnook --help' for more.\n";
        return ExitUsage;
    } catch (const std::exception& e) {
        err << "varnook: " << host::disk::printable(e.what()) << '\n';
        return ExitFailure;
    }
    return 0;
}

} // namespace app
