// varnook: the publishing-exclusion add-in's logic on a web on disk, for people and for scripts.
#include "app/CommandLine.h"
#include "app/Commands.h"
#include "app/Output.h"
#include "app/terminal/Host.h"
#include "host/Failure.h"

#include <iostream>
#include <sstream>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

int usageError(const std::string& message) {
    std::cerr << "varnook: " << message << "\nRun 'varnook --help' for more.\n";
    return ExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    // Output is gathered first and written at the end, so a failing command prints nothing half-way and
    // a failing write is reported with its cause.
    std::ostringstream out;
    app::Outcome outcome;
    try {
        const app::Invocation invocation = app::parseCommandLine(argc, argv, out);
        switch (invocation.command) {
        case app::Invocation::Done:
            break;
        case app::Invocation::Window:
            return terminal::runHost(invocation.web, std::cerr);
        case app::Invocation::Run:
            outcome = invocation.run(out, std::cerr);
            break;
        }
    } catch (const app::UsageError& e) {
        return usageError(e.message);
    } catch (const std::exception& e) {
        std::cerr << "varnook: " << e.what() << '\n';
        return ExitFailure;
    }
    const std::string error = app::writeStandardOutput(out.str());
    if (!error.empty()) {
        std::cerr << "varnook: cannot write the output: " << error
                  << (outcome.webChanged ? " (the marks were written)" : "") << '\n';
        return ExitFailure;
    }
    return outcome.exitCode;
}
