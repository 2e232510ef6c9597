// varnook: the publishing-exclusion add-in's logic on a web on disk, for people and for scripts.
#include "app/Commands.h"
#include "host/Failure.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

} // namespace

int main(int argc, char** argv) {
    CLI::App cli{"varnook: mark the files and folders of a web that are not to be published", "varnook"};
    cli.set_version_flag("--version", "varnook 3.0");
    cli.require_subcommand(1);

    std::string webPath;
    bool tsv = false;
    const std::string tsvHelp =
        "One TAB-separated line per node: depth, key, text, image, selected image, expanded";

    auto* tree = cli.add_subcommand("tree", "Print the tree of the web as the publishing window shows it");
    tree->add_flag("--tsv", tsv, tsvHelp);
    tree->add_option("WEB", webPath, "The folder of the web")->required();

    std::vector<std::string> items;
    auto* toggle = cli.add_subcommand(
        "toggle",
        "Choose \"Don't Publish\" on each item in turn, as a right-click in the window does, then print "
        "the tree");
    toggle->add_flag("--tsv", tsv, tsvHelp);
    toggle->add_option("WEB", webPath, "The folder of the web")->required();
    toggle->add_option("ITEM", items, "An item's path below the web, \"/\" between names; \".\" is the web")
        ->required();

    std::string format = "list";
    auto* excluded = cli.add_subcommand("excluded", "List the files and folders marked \"Don't Publish\"");
    excluded->add_option("--format", format, "list, rsync (filter rules) or gitignore")
        ->check(CLI::IsMember({"list", "rsync", "gitignore"}));
    excluded->add_option("WEB", webPath, "The folder of the web")->required();

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = cli.exit(e);
        return code == 0 ? 0 : ExitUsage;
    }

    try {
        if (tree->parsed()) {
            app::runTree(webPath, tsv, std::cout, std::cerr);
        } else if (toggle->parsed()) {
            app::runToggle(webPath, items, tsv, std::cout, std::cerr);
        } else if (excluded->parsed()) {
            const auto f = format == "rsync"       ? app::ExcludedFormat::Rsync
                           : format == "gitignore" ? app::ExcludedFormat::Gitignore
                                                   : app::ExcludedFormat::List;
            app::runExcluded(webPath, f, std::cout, std::cerr);
        }
        std::cout.flush();
        return std::cout ? 0 : ExitFailure;
    } catch (const app::UsageError& e) {
        std::cerr << "varnook: " << e.message << '\n';
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "varnook: " << e.what() << '\n';
        return ExitFailure;
    }
}
