#include "app/publishing/UnreadableMarks.h"

#include "host/Failure.h"

namespace app {

std::string describeUnreadableMarks(const std::map<std::string, std::string>& unreadable) {
    if (unreadable.empty())
        return {};
    constexpr std::size_t Named = 3;
    const std::size_t n = unreadable.size();
    std::string text =
        "the mark" +
        std::string(n == 1 ? " of 1 item cannot" : "s of " + std::to_string(n) + " items cannot") +
        " be read, so " + (n == 1 ? "it shows" : "they show") + " published: ";
    std::size_t i = 0;
    for (const auto& [item, why] : unreadable) {
        if (i == Named) {
            text += "; and " + std::to_string(n - Named) + " more";
            break;
        }
        text += (i++ == 0 ? "" : "; ") + item + " (" + why + ")";
    }
    return text;
}

void requireEveryMarkRead(const std::map<std::string, std::string>& unreadable) {
    if (!unreadable.empty())
        throw host::Failure(host::status::Fail, "a deploy could send what was marked Don't Publish: " +
                                                    describeUnreadableMarks(unreadable));
}

} // namespace app
