#include "app/cli/NodeJson.h"

#include "app/publishing/Deployment.h"
#include "webtree/NodeImages.h"

namespace app {
namespace {

std::string kindOf(const host::Node& node) {
    if (node.parent() == nullptr)
        return "web";
    if (webtree::isFolderNode(node))
        return "folder";
    return webtree::stripMarkSuffix(node.image());
}

bool isUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

std::string hexOf(const std::string& bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += Digits[u >> 4];
        out += Digits[u & 0xF];
    }
    return out;
}

} // namespace

nlohmann::ordered_json nodeJson(LoadedWindow& window, const host::Node& node) {
    const Deployment deployment = deploymentOf(node);
    const std::optional<bool> own = window.ownMark(node);
    nlohmann::ordered_json j;
    const std::string path = window.relativePath(node);
    j["path"] = path;
    // JSON holds only Unicode text, so a name that is not UTF-8 shows with U+FFFD in "path"; its exact
    // bytes, in hex, still name the item.
    if (!isUtf8(path))
        j["pathBytes"] = hexOf(path);
    j["kind"] = kindOf(node);
    j["image"] = node.image();
    j["selectedImage"] = node.selectedImage();
    j["marked"] = webtree::hasMarkSuffix(node.image());
    j["ownMark"] = own ? nlohmann::ordered_json(*own) : nlohmann::ordered_json(nullptr);
    j["deployed"] = deployment.deployed;
    j["why"] = describe(deployment.why);
    return j;
}

void printJsonLines(const std::vector<nlohmann::ordered_json>& items, std::ostream& out) {
    out << '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
        out << (i == 0 ? "\n" : ",\n")
            << items[i].dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
    out << (items.empty() ? "]\n" : "\n]\n");
}

} // namespace app
