// varnook: the publishing-exclusion add-in's logic on a web on disk, for people and for scripts.
#include "app/cli/CommandLine.h"
#include "app/cli/Output.h"
#include "app/terminal/Host.h"

#include <clocale>
#include <iostream>
#include <ostream>

int main(int argc, char** argv) {
    // Characters are measured in the user's locale (a wide character takes two columns of a tree).
    std::setlocale(LC_CTYPE, "");
    // Written as it comes and checked: a failed write is reported at the end with its cause, and with
    // whether the command changed the web meanwhile.
    app::StandardOutput output;
    std::ostream out(&output);
    bool webChanged = false;
    const int status = app::runCommandLine(
        argc, argv, out, std::cerr,
        [](const std::optional<std::string>& web) { return terminal::runHost(web, std::cerr); }, &webChanged);
    const std::string error = output.finish();
    if (!error.empty()) {
        std::cerr << "varnook: cannot write the output: " << error
                  << (webChanged ? " (the marks were written)" : "") << '\n';
        return 1;
    }
    return status;
}
