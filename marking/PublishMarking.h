#pragma once

#include "host/GlobalApplication.h"
#include "host/TreeModel.h"
#include "marking/MarkWrites.h"

#include <functional>
#include <string>

namespace marking {

// The publish-marking operations of the publishing window: node classification, the mark of one item,
// propagation through a folder's contents and up through its containing folders, and the context-menu
// command. A node's mark is read from its image key alone; the host is only written.
//
// Failures of the host or the tree end the running operation with host::Failure, except inside
// WriteItemMark's property steps: a step that fails there is skipped and the next one runs, and the
// command fails at its end with one host::Failure that counts the items whose mark was not written.
class PublishMarking {
  public:
    PublishMarking(host::GlobalApplication& app, host::TreeModel& tvwWeb) : app_(app), tvwWeb_(tvwWeb) {}
    virtual ~PublishMarking() = default;

    // --- one node ---------------------------------------------------------------------------------
    // True for a file or a marked folder: every key but "web", "open" and "closed".
    bool IsFileNode(const host::Node& node) const;
    // The host location of the node's item: its full path with "\" as "/" for a web on a server
    // ("http..."), else with "/" as "\".
    std::string GetNodeUrl(const host::Node& node) const;
    void MarkNodeImages(host::Node& node);
    void UnmarkNodeImages(host::Node& node);
    // Sets (marked) or removes the publish mark of the node's item and applies it. A failing look-up of
    // the open web or the item ends it at once. The write and the apply both run whatever the other did;
    // a failure of either is recorded for the command's end. An item the web no longer has, and a mark
    // to remove that is not there, are no failure.
    void WriteItemMark(const host::Node& node, bool marked);

    // --- propagation ------------------------------------------------------------------------------
    void PropPublishToChildren(host::Node& node);
    void PropUnPublishToChildren(host::Node& node);
    void PropPublishToParents(host::Node& node);
    void PropUnPublishToParents(host::Node& node);
    void ApplyPublishState(host::Node& node, bool publish);

    // --- the context menu -------------------------------------------------------------------------
    // A mouse button released over the tree: the right button (2) pops up the menu for the selected node.
    void tvwWeb_MouseUp(int button, int shift, float x, float y);
    // "Don't Publish" chosen: toggles the selected node's mark.
    void mnuNoPublish_Click();

    // Runs `body` as one marking command: each operation above is one when called alone. A mark that
    // cannot be written does not stop it; at its end it fails with one host::Failure saying how many
    // items were not written and why, for the first few. A failure that ends it early reaches the caller
    // with that count added. Operations called inside it join it.
    void RunAsOneCommand(const std::function<void()>& body);

    bool mnuNoPublishChecked() const { return mnuNoPublishChecked_; }
    void setNoPublishChecked(bool checked) { mnuNoPublishChecked_ = checked; }

  protected:
    // The window pops up mnuPopup (modal); true when the user chose "Don't Publish".
    virtual bool popUpMenu(float x, float y) = 0;

  private:
    template <class Body> void asCommand(Body&& body) {
        if (commandDepth_ > 0)
            body();
        else
            RunAsOneCommand(body);
    }
    void writeMarkSteps(const host::Node& node, host::Item& item, bool marked);

    host::GlobalApplication& app_;
    host::TreeModel& tvwWeb_;
    bool mnuNoPublishChecked_ = false;
    int commandDepth_ = 0;
    MarkWrites writes_;
};

} // namespace marking
