#pragma once

#include "addin/AddinModule.h"
#include "host/CommandBars.h"
#include "host/WebModel.h"

#include <memory>

namespace addin {

// The add-in class the host creates: on connection it puts "&Talvo Add-ins" / "Varnook 3.0..." into the
// host's Tools menu; the button opens the publishing window. No error is trapped here: a failing call
// ends the handler, and the host sees the failure.
class Connect {
  public:
    explicit Connect(AddinModule& module) : module_(module) {}
    ~Connect();
    Connect(const Connect&) = delete;
    Connect& operator=(const Connect&) = delete;

    // The host application given at connection; fails when null (the object does not offer the host
    // application interface).
    std::shared_ptr<host::Application> fpApp;

    void IDTExtensibility2_OnConnection(std::shared_ptr<host::Application> application, int connectMode);
    // The one disconnection entry: releases fpApp, ends the click subscription and deletes the popup.
    void IDTExtensibility2_OnDisconnection(int removeMode);
    void IDTExtensibility2_OnAddInsUpdate() {}
    void IDTExtensibility2_OnStartupComplete() {}
    void IDTExtensibility2_OnBeginShutdown() {}

    // The launch command: the button "Varnook 3.0..." was pressed.
    void p_ctlBtnEvents_Click();

    bool connectedToButton() const { return p_ctlBtnEvents != nullptr; }

  private:
    void AddInInstance_OnDisconnection();
    std::unique_ptr<host::CommandBarControl> toolsMenu(host::Application& app, std::string_view barName);

    AddinModule& module_;
    std::unique_ptr<host::CommandBarControl> p_ctlMenu;
    std::unique_ptr<host::CommandBarControl> p_ctlBtn;
    std::unique_ptr<host::ClickSubscription> p_ctlBtnEvents;
};

// The button the add-in puts into the editor's Tools menu.
inline constexpr const char* ButtonCaption = "Varnook 3.0...";

// The launch command's only message.
inline constexpr const char* NoWebMessage = "You must open a Web before using Varnook.";
inline constexpr int MessageStyle = 48; // OK button, exclamation icon

} // namespace addin
