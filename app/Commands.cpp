#include "app/Commands.h"

#include "app/TreePrinter.h"
#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "webtree/FileImage.h"
#include "window/ImageKeys.h"
#include "window/PngWriter.h"
#include "window/frmMain.h"

#include <cstdio>
#include <memory>

namespace app {
namespace {

// The window without a screen: it is never drawn, and its pop-up menu always chooses "Don't Publish".
class HeadlessWindow final : public host::WindowServices {
  public:
    void show() override {}
    void hide() override {}
    bool popUpMenu(bool /*checked*/, float /*x*/, float /*y*/) override { return true; }
    void messageBox(const std::string& /*text*/, const std::string& /*title*/, int /*style*/) override {}
};

// A path as the user typed it, safe for a one-line message: control characters as \xNN.
std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// The disk web with the publishing window loaded on it, as the editor would show it.
struct LoadedWindow {
    std::unique_ptr<host::disk::DiskApplication> app;
    host::GlobalApplication global{*app};
    HeadlessWindow services;
    window::frmMain form{global, services};

    LoadedWindow(const std::string& webPath, std::ostream& warnings) : app(openWeb(webPath, warnings)) {
        try {
            form.setVisible(true);
        } catch (const host::Failure& f) {
            throw host::Failure(f.status(), std::string("filling the tree failed: ") + f.what());
        }
    }

    static std::unique_ptr<host::disk::DiskApplication> openWeb(const std::string& path,
                                                                std::ostream& warnings) {
        try {
            return std::make_unique<host::disk::DiskApplication>(path, warnings);
        } catch (const host::Failure& f) {
            throw host::Failure(f.status(), "cannot open the web '" + printable(path) + "': " + f.what());
        }
    }

    std::string webUrl() const { return form.tree().nodeByIndex(1).text(); }

    // The node of an item given by its path below the web ("." for the web), or null.
    host::Node* nodeFor(std::string item) const {
        while (item.size() > 1 && item.back() == '/')
            item.pop_back();
        if (item == "." || item == "./")
            return form.tree().find("ROOT");
        if (item.rfind("./", 0) == 0)
            item.erase(0, 2);
        if (item.empty())
            return nullptr;
        return form.tree().find(webUrl() + "/" + item);
    }

    // The item's path below the web, "/" between names.
    std::string relativePath(const host::Node& node) const { return node.key().substr(webUrl().size() + 1); }
};

void printTree(const host::TreeModel& tree, bool tsv, std::ostream& out) {
    if (tsv)
        printTreeTsv(tree, out);
    else
        printTreeReadable(tree, out);
}

bool isFolderNode(const host::Node& node) {
    return node.image().rfind("closed", 0) == 0 || node.image().rfind("open", 0) == 0;
}

} // namespace

// Patterns of rsync filter rules and .gitignore files treat these characters specially.
std::string escapePattern(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '*' || c == '?' || c == '[' || c == '\\')
            out += '\\';
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.insert(out.size() - 1, "\\");
    return out;
}

std::string rsyncPattern(const std::string& path) {
    // rsync compares a pattern without wildcard characters literally: a backslash there is a character
    // of the name, not an escape.
    if (path.find_first_of("*?[") == std::string::npos)
        return path;
    return escapePattern(path);
}

void runTree(const std::string& webPath, bool tsv, std::ostream& out, std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    printTree(window.form.tree(), tsv, out);
}

void runToggle(const std::string& webPath, const std::vector<std::string>& items, bool tsv, std::ostream& out,
               std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    std::vector<host::Node*> nodes;
    for (const auto& item : items) {
        host::Node* node = window.nodeFor(item);
        if (node == nullptr)
            throw UsageError{"no item '" + printable(item) + "' in " + printable(webPath)};
        nodes.push_back(node);
    }
    // One command over every item: a mark that cannot be written does not stop the others, and the
    // tree still shows what the window would show before the failure is reported.
    try {
        window.form.RunAsOneCommand([&] {
            for (host::Node* node : nodes) {
                // As a person does it: select the node, release the right button over the tree, choose.
                window.form.tree().select(node);
                window.form.tvwWeb_MouseUp(2, 0, 0, 0);
            }
        });
    } catch (const host::Failure&) {
        printTree(window.form.tree(), tsv, out);
        throw;
    }
    printTree(window.form.tree(), tsv, out);
}

void runExcluded(const std::string& webPath, ExcludedFormat format, std::ostream& out,
                 std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    auto web = window.app->activeWeb();
    // Collect first: a mark that cannot be read fails the whole command, so a deploy never runs on half
    // a list.
    std::vector<std::string> lines;
    window.form.tree().forEachInTreeOrder([&](const host::Node& node, std::size_t depth) {
        if (depth == 0)
            return;
        auto item = web->locate(window.form.GetNodeUrl(node));
        if (!item)
            throw host::Failure(host::status::NotFound,
                                "'" + window.relativePath(node) + "' is gone from the web");
        if (!item->properties()->item(webtree::MarkProperty).textEquals("True"))
            return;
        const std::string path = window.relativePath(node) + (isFolderNode(node) ? "/" : "");
        switch (format) {
        case ExcludedFormat::List:
            lines.push_back(path);
            break;
        case ExcludedFormat::Rsync:
            lines.push_back("- /" + rsyncPattern(path));
            break;
        case ExcludedFormat::Gitignore:
            lines.push_back("/" + escapePattern(path));
            break;
        }
    });
    for (const auto& line : lines)
        out << line << '\n';
}

void runIcons(const std::string& dir, std::ostream& out) {
    try {
        window::writeAllPngs(dir);
    } catch (const std::exception& e) {
        throw host::Failure(host::status::Fail, e.what());
    }
    out << "wrote " << window::ImageKeys.size() << " images and the icon to " << dir << '\n';
}

} // namespace app
