#include "host/WebModel.h"

#include "host/CommandBars.h"
#include "host/Failure.h"

namespace host {

std::unique_ptr<CommandBars> Application::commandBars() {
    throw Failure(status::NoObject, "this host has no command bars");
}

} // namespace host
