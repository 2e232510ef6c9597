#pragma once

#include "host/memory/MemoryWeb.h"
#include "support/FakeWindowServices.h"
#include "window/frmMain.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace testsupport {

// A publishing window loaded on an in-memory web: build the web, then call load().
struct MarkingFixture : ::testing::Test {
    host::memory::MemoryWeb web{"http://srv/web"};
    host::memory::MemoryApplication app{&web};
    host::GlobalApplication global{app};
    FakeWindowServices services;
    window::frmMain form{global, services};

    void load() {
        form.setVisible(true);
        web.clearCalls();
    }
    host::TreeModel& tree() { return form.tree(); }

    // The node of the item at a path below the web; "" is the root.
    host::Node& node(const std::string& path) {
        host::Node* n = tree().find(path.empty() ? "ROOT" : web.url() + "/" + path);
        if (n == nullptr)
            throw std::out_of_range("no node " + path);
        return *n;
    }
    std::string keys(const std::string& path) {
        return node(path).image() + "/" + node(path).selectedImage();
    }
    void setKeys(const std::string& path, const std::string& image, const std::string& selected) {
        node(path).setImage(image);
        node(path).setSelectedImage(selected);
    }
    // The user right-clicks with `path` selected and chooses "Don't Publish".
    void toggle(const std::string& path) {
        tree().select(&node(path));
        form.tvwWeb_MouseUp(2, 0, 10, 20);
    }

    // The writes as short entries: "set a/b.htm", "remove a", "apply a" (paths below the web).
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const auto& call : web.writes()) {
            const auto space = call.find(' ');
            std::string op =
                call.substr(std::string("Properties.").size(), space - std::string("Properties.").size());
            std::string rest = call.substr(space + 1);
            std::string subject = rest.substr(0, rest.find(' '));
            std::string path = subject == web.url() ? "." : subject.substr(web.url().size() + 1);
            out.push_back(op + " " + path);
        }
        return out;
    }
};

} // namespace testsupport
