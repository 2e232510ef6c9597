#include "addin/Connect.h"

#include "host/Failure.h"
#include "window/Layout.h"

namespace addin {
namespace {

constexpr const char* PopupTag = "TALVO";
constexpr const char* PopupCaption = "&Talvo Add-ins";
constexpr const char* ButtonParameter = "Varnook3";

} // namespace

Connect::~Connect() = default;

std::unique_ptr<host::CommandBarControl> Connect::toolsMenu(host::Application& app,
                                                            std::string_view barName) {
    return app.commandBars()->item(barName)->controls()->item(host::Value::text("Tools"));
}

void Connect::IDTExtensibility2_OnConnection(std::shared_ptr<host::Application> application,
                                             int /*connectMode*/) {
    // C1: keep the host application.
    if (!application)
        throw host::Failure(host::status::NoObject, "the object given is not the host application");
    fpApp = std::move(application);

    // C2: the Tools menu, viewed as a popup.
    auto tools = toolsMenu(*fpApp, "menu bar");
    if (tools->type() != host::control_type::Popup)
        throw host::Failure(host::status::InvalidArg, "the Tools menu is not a popup");

    // C3: reuse a control tagged "TALVO", whoever made it.
    for (auto& control : tools->controls()->list()) {
        if (control->tag() == PopupTag) {
            p_ctlMenu = std::move(control);
            break;
        }
    }
    // C4: or make the popup.
    if (!p_ctlMenu) {
        auto toolsAgain = toolsMenu(*fpApp, "menu bar");
        p_ctlMenu =
            toolsAgain->controls()->add(host::control_type::Popup, std::nullopt, host::Value::text(PopupTag),
                                        std::nullopt, host::Value::boolean(true));
    }
    // C5, C6: a found popup is given the caption again.
    p_ctlMenu->setCaption(PopupCaption);
    p_ctlMenu->setTag(PopupTag);

    // C7, C8: every connection adds its own button.
    p_ctlBtn = p_ctlMenu->controls()->add(host::control_type::Button, std::nullopt,
                                          host::Value::text(ButtonParameter), std::nullopt,
                                          host::Value::boolean(true));
    if (p_ctlBtn->type() != host::control_type::Button)
        throw host::Failure(host::status::InvalidArg, "the control added is not a button");
    p_ctlBtn->setCaption(ButtonCaption);

    // C9: from now on a press runs the launch command.
    p_ctlBtnEvents = p_ctlBtn->subscribeClick([this] { p_ctlBtnEvents_Click(); });
}

void Connect::IDTExtensibility2_OnDisconnection(int /*removeMode*/) {
    // An open window would outlive the add-in that runs it: it closes with the add-in.
    if (window::frmMain* form = module_.existingMainWindow())
        form->Unload();
    fpApp.reset();
    AddInInstance_OnDisconnection();
}

void Connect::AddInInstance_OnDisconnection() {
    // D1: clicks no longer reach the add-in.
    p_ctlBtnEvents.reset();
    // The popup is about to go: forget it, so a later connection of this object makes a fresh one.
    p_ctlMenu.reset();
    p_ctlBtn.reset();
    // D2, D3: through the global application object, delete the popup with everything in it.
    auto tools = toolsMenu(module_.globalApplication().get(), "Menu Bar");
    tools->controls()->item(host::Value::text("Talvo"))->remove();
}

void Connect::p_ctlBtnEvents_Click() {
    bool hasWeb = false;
    {
        auto web = module_.globalApplication().get().activeWeb();
        hasWeb = web != nullptr;
    }
    if (!hasWeb) {
        module_.services().messageBox(NoWebMessage, std::string(window::layout::MessageTitle), MessageStyle);
        return;
    }
    module_.mainWindow().setVisible(true);
}

} // namespace addin
