#pragma once

#include "host/GlobalApplication.h"
#include "host/TreeModel.h"
#include "host/WindowServices.h"
#include "marking/PublishMarking.h"

namespace window {

namespace detail {
// Holds the tree control so that it is built before the marking operations that work on it.
struct TreeControl {
    host::TreeModel tvwWeb;
    TreeControl();
};
} // namespace detail

// The publishing window: the tree of the open web, filled when the window loads, with the context menu
// that marks and publishes its items. One shared instance lives as long as the add-in; "Close" unloads
// it, and the next show loads it again with a fresh tree.
class frmMain : private detail::TreeControl, public marking::PublishMarking, public host::WindowEvents {
  public:
    frmMain(host::GlobalApplication& app, host::WindowServices& services);

    host::TreeModel& tree() override { return tvwWeb; }
    const host::TreeModel& tree() const { return tvwWeb; }

    bool loaded() const { return loaded_; }
    bool visible() const { return visible_; }
    // Showing a window that is not loaded loads it first, which fills the tree.
    void setVisible(bool visible);
    void Unload();

    // Builds the tree of the web open in the host (the load handler's only work).
    void Fill();

    // "Close" and the window's close box.
    void cmdClose_Click() override { Unload(); }
    void tvwWeb_MouseUp(int button, int shift, float x, float y) override {
        PublishMarking::tvwWeb_MouseUp(button, shift, x, y);
    }

  protected:
    bool popUpMenu(float x, float y) override;

  private:
    void Load();
    void Form_Load() { Fill(); }

    host::GlobalApplication& app_;
    host::WindowServices& services_;
    bool loaded_ = false;
    bool visible_ = false;
};

} // namespace window
