#include "window/frmMain.h"

#include "host/Failure.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"

namespace window {

detail::TreeControl::TreeControl() : tvwWeb(imageKeyList()) {}

frmMain::frmMain(host::GlobalApplication& app, host::WindowServices& services)
    : marking::PublishMarking(app, tvwWeb), app_(app), services_(services) {}

void frmMain::Load() {
    loaded_ = true;
    setNoPublishChecked(false);
    try {
        services_.load(*this);
        Form_Load();
    } catch (const host::Failure& failure) {
        // The load is an event of the window: its failure is shown where the window shows errors, and
        // still ends the command that caused the load. A window whose load failed is not left loaded
        // with half a tree: the next show loads it again.
        services_.reportEventFailure(failure.what());
        Unload();
        throw;
    }
}

void frmMain::setVisible(bool visible) {
    if (visible && !loaded_)
        Load();
    if (visible == visible_) {
        if (visible)
            services_.bringToFront();
        return;
    }
    visible_ = visible;
    if (visible)
        services_.show();
    else
        services_.hide();
}

void frmMain::Unload() {
    if (!loaded_)
        return;
    if (visible_)
        services_.hide();
    visible_ = false;
    loaded_ = false;
    // The controls go first, so the real tree is not taken apart node by node.
    services_.unload();
    tvwWeb.clear();
}

void frmMain::Fill() {
    webtree::Fill(app_.get(), tvwWeb);
}

bool frmMain::popUpMenu(float x, float y) {
    return services_.popUpMenu(mnuNoPublishChecked(), x, y);
}

} // namespace window
