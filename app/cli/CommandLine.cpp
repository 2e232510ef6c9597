#include "app/cli/CommandLine.h"

#include "app/cli/Suggestions.h"
#include "host/disk/SystemErrors.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

namespace app {
namespace {

// Every value a command line can set, kept alive for the command run after parsing.
struct Values {
    std::string web;
    std::vector<std::string> items;
    bool tsv = false;
    bool json = false;
    MarkOptions mark;
    std::string excludedFormat = "list";
    std::string checkFormat = "text";
    bool keepMetadata = false;
    std::string dir;
    std::string helpTopic;
    bool quiet = false;
    bool orphans = false;
};

using Runner = std::function<Outcome(std::ostream& out, std::ostream& warnings)>;

const char* const WebHelp = "The folder of the web";
const char* const TsvHelp =
    "One TAB-separated line per node: depth, key, text, image, selected image, expanded";
const char* const KeepMetadataHelp = "Deploy the editor's _vti_* files and folders too";
const char* const VersionText = "varnook " VARNOOK_VERSION;

void declareMarking(CLI::App& command, Values& v) {
    auto* tsv = command.add_flag("--tsv", v.mark.tsv, std::string(TsvHelp) + " (the tree after the change)");
    command
        .add_flag(
            "--json", v.mark.json,
            "A JSON array of the items changed: \"change\" (marked or published) and the fields of tree "
            "--json")
        ->excludes(tsv);
    command.add_flag("-n,--dry-run", v.mark.dryRun, "Say what would change, write nothing");
    command.add_flag("--init", v.mark.init, "Allow a folder that is not a web yet, and make it one");
    command.add_flag("--no-wait", v.mark.noWait,
                     "Fail at once when another varnook is changing the web, instead of waiting for it");
    command.add_option("WEB", v.web, WebHelp)->required();
    command.add_option("ITEM", v.items,
                       "An item's path below the web, \"/\" between names; \".\" is the web");
}

// mark and unmark also take items by pattern; toggle, whose direction depends on each item, does not.
void declareMarkingWithPatterns(CLI::App& command, Values& v) {
    declareMarking(command, v);
    command.add_option(
        "--match", v.mark.patterns,
        "Also every item matching PATTERN, as .gitignore reads it: *.psd at any depth, drafts/*.htm "
        "from the web's top, ** across folders, a trailing / for folders only");
}

Runner marking(MarkDirection direction, std::shared_ptr<Values> v) {
    return [v, direction](std::ostream& o, std::ostream& w) {
        MarkOptions options = v->mark;
        options.quiet = v->quiet;
        return runMarking(v->web, v->items, direction, options, o, w);
    };
}

// The commands, as git keeps its own: each with its summary, how it declares its options and what runs it.
// Registration, the "did you mean" list and the dispatch all read this one table.
struct Command {
    const char* name;
    const char* summary;
    void (*declare)(CLI::App& command, Values& v);
    Runner (*runner)(std::shared_ptr<Values> v); // none for help, which the parser answers itself
};

const std::array<Command, 8> CommandTable{{
    {"help", "Print the help of varnook or of one command",
     [](CLI::App& c, Values& v) { c.add_option("COMMAND", v.helpTopic, "The command"); }, nullptr},
    {"tree", "Print the tree of the web as the publishing window shows it",
     [](CLI::App& c, Values& v) {
         auto* tsv = c.add_flag("--tsv", v.tsv, TsvHelp);
         c.add_flag("--json", v.json,
                    "A JSON array, one object per node: path, kind, image, selectedImage, marked, ownMark, "
                    "deployed, why")
             ->excludes(tsv);
         c.add_option("WEB", v.web, WebHelp)->required();
     },
     [](std::shared_ptr<Values> v) -> Runner {
         const TreeFormat f = v->json ? TreeFormat::Json : v->tsv ? TreeFormat::Tsv : TreeFormat::Readable;
         return [v, f](std::ostream& o, std::ostream& w) { return runTree(v->web, f, o, w); };
     }},
    {"toggle", "Choose \"Don't Publish\" on each item in turn, as a right-click in the window does",
     declareMarking, [](std::shared_ptr<Values> v) { return marking(MarkDirection::Toggle, std::move(v)); }},
    {"mark", "Mark each item \"Don't Publish\" (a folder with everything in it), whatever it shows now",
     declareMarkingWithPatterns,
     [](std::shared_ptr<Values> v) { return marking(MarkDirection::Mark, std::move(v)); }},
    {"unmark", "Publish each item again (a folder with everything in it), whatever it shows now",
     declareMarkingWithPatterns,
     [](std::shared_ptr<Values> v) { return marking(MarkDirection::Unmark, std::move(v)); }},
    {"excluded", "What a deploy leaves out: what the window shows marked",
     [](CLI::App& c, Values& v) {
         auto* format =
             c.add_option("--format", v.excludedFormat, "list, rsync (filter rules), gitignore or json")
                 ->check(CLI::IsMember({"list", "rsync", "gitignore", "json"}));
         c.add_flag("--json", v.json, "The same as --format json")->excludes(format);
         c.add_flag("--keep-metadata", v.keepMetadata, KeepMetadataHelp);
         c.add_option("WEB", v.web, WebHelp)->required();
     },
     [](std::shared_ptr<Values> v) -> Runner {
         const std::string& name = v->json ? std::string("json") : v->excludedFormat;
         const ExcludedFormat f = name == "rsync"       ? ExcludedFormat::Rsync
                                  : name == "gitignore" ? ExcludedFormat::Gitignore
                                  : name == "json"      ? ExcludedFormat::Json
                                                        : ExcludedFormat::List;
         return [v, f](std::ostream& o, std::ostream& w) {
             return runExcluded(v->web, f, v->keepMetadata, o, w);
         };
     }},
    {"check",
     "Report links of deployed pages to items a deploy leaves out (exit status 1) or that are missing",
     [](CLI::App& c, Values& v) {
         auto* format =
             c.add_option("--format", v.checkFormat, "text or json")->check(CLI::IsMember({"text", "json"}));
         c.add_flag("--json", v.json, "The same as --format json")->excludes(format);
         c.add_flag("--keep-metadata", v.keepMetadata, KeepMetadataHelp);
         c.add_flag("--orphans", v.orphans,
                    "Instead, list the published files that no published page links to from the home page "
                    "(exit status 0). Files used only by scripts or server code cannot be seen: the list "
                    "is one of candidates");
         c.add_option("WEB", v.web, WebHelp)->required();
     },
     [](std::shared_ptr<Values> v) -> Runner {
         const CheckFormat f = v->json || v->checkFormat == "json" ? CheckFormat::Json : CheckFormat::Text;
         return [v, f](std::ostream& o, std::ostream& w) {
             return runCheck(v->web, f, v->keepMetadata, v->orphans, o, w);
         };
     }},
    {"icons", "Write the window's 16x16 images and its icon as PNG files, <key>.png, into a folder",
     [](CLI::App& c, Values& v) {
         c.add_option("DIR", v.dir, "The folder to write into (made if missing)")->required();
     },
     [](std::shared_ptr<Values> v) -> Runner {
         return [v](std::ostream& o, std::ostream&) { return runIcons(v->dir, o); };
     }},
}};

bool isCommand(const std::string& word) {
    return std::any_of(CommandTable.begin(), CommandTable.end(),
                       [&](const Command& c) { return word == c.name; });
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

bool isKnownOption(const CLI::App& app, const std::string& name) {
    if (name.starts_with("--"))
        return app.get_option_no_throw(name) != nullptr;
    // Short flags may come together ("-qn").
    return name.size() > 1 && std::all_of(name.begin() + 1, name.end(), [&](char flag) {
               return app.get_option_no_throw(std::string{'-', flag}) != nullptr;
           });
}

// CLI11 says "The following argument was not expected" or "ITEM is required" where the user typed an
// option that does not exist: say that, with the nearest real one, or, for a command that takes items,
// how an item whose name starts with "-" is given.
std::optional<std::string> unknownOption(const CLI::App& cli, int argc, char** argv) {
    const CLI::App* app = &cli;
    std::string command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (!arg.starts_with("-") || arg == "-") {
            if (command.empty() && isCommand(arg)) {
                command = arg;
                app = cli.get_subcommand(arg);
            }
            continue;
        }
        const std::string name = arg.substr(0, arg.find('='));
        if (isKnownOption(*app, name))
            continue;
        std::string message = "unknown option '" + name + "'";
        const auto near = nearestOf(name, [&](const auto& consider) {
            for (const CLI::Option* option : app->get_options()) {
                for (const auto& lname : option->get_lnames())
                    consider("--" + lname);
                for (const auto& sname : option->get_snames())
                    consider("-" + sname);
            }
        });
        if (near)
            message += "; did you mean '" + *near + "'?";
        else if (!name.starts_with("--") && app->get_option_no_throw("ITEM") != nullptr)
            message +=
                "; an ITEM whose name starts with '-' goes after '--': varnook " + command + " WEB -- " + arg;
        return message;
    }
    return std::nullopt;
}

// CLI11 would write the program's usage as "varnook [OPTIONS] [WEB] [SUBCOMMAND]", an order in which
// nothing can be typed; the commands' own usage lines are right as CLI11 writes them.
class ProgramUsage : public CLI::Formatter {
  public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app->get_parent() != nullptr)
            return CLI::Formatter::make_usage(app, std::move(name));
        return "Usage: varnook COMMAND [OPTIONS] WEB ...\n"
               "       varnook [WEB]                  the terminal window on the web\n";
    }
};

// CLI11 may say one thing over several lines; the program's errors are one line each.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace

std::optional<std::string> nearestCommand(const std::string& word) {
    return nearestOf(word, [](const auto& consider) {
        for (const Command& command : CommandTable)
            consider(command.name);
    });
}

Invocation parseCommandLine(int argc, char** argv, std::ostream& out) {
    rejectMistypedCommand(argc, argv);

    CLI::App cli{"varnook: mark the files and folders of a web that are not to be published", "varnook"};
    cli.formatter(std::make_shared<ProgramUsage>());
    cli.set_version_flag("--version", VersionText);
    cli.require_subcommand(0, 1);
    auto v = std::make_shared<Values>();
    std::string windowWeb;
    auto* windowWebOption = cli.add_option(
        "WEB", windowWeb,
        "With no command: the folder of the web to open in the terminal window (default: a copy of the "
        "bundled sample web)");
    for (const Command& command : CommandTable) {
        CLI::App& sub = *cli.add_subcommand(command.name, command.summary);
        command.declare(sub, *v);
        if (command.runner != nullptr)
            sub.add_flag("-q,--quiet", v->quiet, "Print nothing: the exit status says how it went");
    }

    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << cli.help();
        return {};
    } catch (const CLI::CallForAllHelp&) {
        out << cli.help("", CLI::AppFormatMode::All);
        return {};
    } catch (const CLI::CallForVersion&) {
        out << VersionText << '\n';
        return {};
    } catch (const CLI::ParseError& e) {
        if (auto unknown = unknownOption(cli, argc, argv))
            throw UsageError{*unknown};
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

    const std::string name = cli.get_subcommands().front()->get_name();
    const auto command = std::find_if(CommandTable.begin(), CommandTable.end(),
                                      [&](const Command& c) { return name == c.name; });
    if (command->runner == nullptr) { // help
        const std::string topic = v->helpTopic;
        if (!topic.empty() && !isCommand(topic))
            throw UsageError{unknownCommand(topic)};
        // Forget the parse, or the program's help would be that of "help" itself.
        cli.clear();
        out << (topic.empty() ? cli.help() : cli.get_subcommand(topic)->help("varnook"));
        return {};
    }
    invocation.command = Invocation::Run;
    invocation.run = command->runner(v);
    if (v->quiet) {
        // Errors still go to standard error: only what a command prints on success is left unsaid.
        invocation.run = [run = std::move(invocation.run)](std::ostream&, std::ostream& warnings) {
            std::ostream nowhere(nullptr);
            return run(nowhere, warnings);
        };
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
