// varnook: the publishing-exclusion add-in's logic on a web on disk, for people and for scripts.
#include "app/CommandLine.h"
#include "app/Output.h"
#include "app/terminal/Host.h"

#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    // Output is gathered first and written at the end, so a failing command prints nothing half-way and
    // a failing write is reported with its cause.
    std::ostringstream out;
    bool webChanged = false;
    const int status = app::runCommandLine(
        argc, argv, out, std::cerr,
        [](const std::optional<std::string>& web) { return terminal::runHost(web, std::cerr); }, &webChanged);
    const std::string error = app::writeStandardOutput(out.str());
    if (!error.empty()) {
        std::cerr << "varnook: cannot write the output: " << error
                  << (webChanged ? " (the marks were written)" : "") << '\n';
        return 1;
    }
    return status;
}
