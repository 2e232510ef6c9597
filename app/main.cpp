// varnook: the publishing-exclusion add-in's logic on a web on disk, for people and for scripts.
#include "app/CommandLine.h"
#include "app/Commands.h"
#include "host/Failure.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

} // namespace

int app::runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                        const WindowOpener& openWindow) {
    CLI::App cli{"varnook: mark the files and folders of a web that are not to be published", "varnook"};
    cli.set_version_flag("--version", "varnook 3.0");
    // No command opens the web in the terminal window.
    cli.require_subcommand(0, 1);
    std::string windowWeb;
    auto* windowWebOption = cli.add_option(
        "WEB", windowWeb,
        "With no command: the folder of the web to open in the terminal window (default: a copy of the "
        "bundled sample web)");

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

    std::string iconsDir;
    auto* icons = cli.add_subcommand(
        "icons", "Write the window's 16x16 images and its icon as PNG files, <key>.png, into a folder");
    icons->add_option("DIR", iconsDir, "The folder to write into (made if missing)")->required();

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = cli.exit(e, out, err);
        return code == 0 ? 0 : ExitUsage;
    }

    const bool command = !cli.get_subcommands().empty();
    if (command && windowWebOption->count() > 0) {
        err << "varnook: unexpected argument '" << windowWeb << "'\n";
        return ExitUsage;
    }

    try {
        if (!command) {
            const auto web =
                windowWebOption->count() > 0 ? std::optional<std::string>(windowWeb) : std::nullopt;
            return openWindow(web);
        }
        if (tree->parsed()) {
            app::runTree(webPath, tsv, out, err);
        } else if (toggle->parsed()) {
            app::runToggle(webPath, items, tsv, out, err);
        } else if (excluded->parsed()) {
            const auto f = format == "rsync"       ? app::ExcludedFormat::Rsync
                           : format == "gitignore" ? app::ExcludedFormat::Gitignore
                                                   : app::ExcludedFormat::List;
            app::runExcluded(webPath, f, out, err);
        } else if (icons->parsed()) {
            app::runIcons(iconsDir, out);
        }
        out.flush();
        return out ? 0 : ExitFailure;
    } catch (const app::UsageError& e) {
        err << "varnook: " << e.message << '\n';
        return ExitUsage;
    } catch (const std::exception& e) {
        err << "varnook: " << e.what() << '\n';
        return ExitFailure;
    }
}

#ifndef VARNOOK_NO_MAIN
#include "app/terminal/Host.h"

int main(int argc, char** argv) {
    return app::runCommandLine(argc, argv, std::cout, std::cerr, [](const std::optional<std::string>& web) {
        return terminal::runHost(web, std::cerr);
    });
}
#endif
