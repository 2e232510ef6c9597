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
        Form_Load();
    } catch (const host::Failure&) {
        // A window whose load failed is not left loaded with half a tree: the next show loads it again.
        Unload();
        throw;
    }
}

void frmMain::setVisible(bool visible) {
    if (visible && !loaded_)
        Load();
    if (visible == visible_)
        return;
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
    tvwWeb.clear();
}

void frmMain::Fill() {
    webtree::Fill(app_.get(), tvwWeb);
}

bool frmMain::popUpMenu(float x, float y) {
    return services_.popUpMenu(mnuNoPublishChecked(), x, y);
}

} // namespace window
