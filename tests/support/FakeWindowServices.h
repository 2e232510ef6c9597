#pragma once

#include "host/WindowServices.h"

#include <string>
#include <vector>

namespace testsupport {

// Records what the window asks of its platform; the pop-up menu answers as scripted.
struct FakeWindowServices : host::WindowServices {
    struct Popup {
        bool checked;
        float x, y;
    };
    struct Message {
        std::string text, title;
        int style;
    };

    bool chooseFromMenu = true;
    int loads = 0;
    int unloads = 0;
    int shows = 0;
    int hides = 0;
    int broughtToFront = 0;
    std::vector<std::string> failures;
    std::vector<Popup> popups;
    std::vector<Message> messages;

    void load(host::WindowEvents&) override { ++loads; }
    void unload() override { ++unloads; }
    void show() override { ++shows; }
    void bringToFront() override { ++broughtToFront; }
    void reportEventFailure(const std::string& message) override { failures.push_back(message); }
    void hide() override { ++hides; }
    bool popUpMenu(bool checked, float x, float y) override {
        popups.push_back({checked, x, y});
        return chooseFromMenu;
    }
    void messageBox(const std::string& text, const std::string& title, int style) override {
        messages.push_back({text, title, style});
    }
};

} // namespace testsupport
