#include "app/terminal/MessageScreen.h"
#include "app/terminal/TerminalHost.h"
#include "host/Failure.h"
#include "host/Ownership.h"
#include "webtree/NodeImages.h"
#include "window/Layout.h"

#include <algorithm>
#include <utility>

namespace terminal {
namespace {

constexpr std::string_view WebItselfNote =
    "the web itself cannot be left out: choose Don't Publish on the folders and files in it";

// The names of the folders from the web down to the node, and its own.
std::vector<std::string> namesBelowWeb(const host::Node& node) {
    std::vector<std::string> names;
    for (const host::Node* n = &node; n->parent() != nullptr; n = n->parent())
        names.emplace_back(n->text());
    std::reverse(names.begin(), names.end());
    return names;
}

std::string itemsText(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " item" : " items");
}

} // namespace

void TerminalHost::chooseFromContextMenu(float x, float y) {
    pending_.reset();
    pendingSnapshotError_.clear();
    allOfKind_.reset();
    // What a choice wrote before it failed is on disk all the same, so it stays undoable.
    try {
        form()->tvwWeb_MouseUp(RightButton, 0, x, y);
        if (const auto request = std::exchange(allOfKind_, std::nullopt))
            chooseAllOfKind(request->extension, request->publishing);
    } catch (...) {
        choiceLock_.reset(); // what was written is made durable; the failure is the event's
        refill_ = false;
        afterChoice();
        throw;
    }
    if (auto lock = std::move(choiceLock_)) {
        lock->commit();
        filledAt_ = state_.web()->changeCount(); // our own change leaves the window true
    }
    afterChoice();
    if (std::exchange(refill_, false)) {
        // The selection and the open folders stay, found again by their paths, so the same choice is one
        // keystroke away; acting on the web's changed marks unseen would not be the user's choice.
        refillKeepingView();
        note_ = "The web was changed by another program, so this choice was not applied: the window shows "
                "the web afresh; make the choice again";
    }
}

bool TerminalHost::lockForChoice() {
    host::disk::DiskApplication* web = state_.web();
    if (web == nullptr)
        return true;
    choiceLock_ = web->lockForWriting(true, [this] {
        note_ = "Waiting for another varnook to finish changing the web...";
        draw();
        screen_.show();
    });
    if (choiceLock_->changeCountAtStart() == filledAt_)
        return true;
    choiceLock_.reset();
    refill_ = true;
    return false;
}

void TerminalHost::requireWindowsWeb() const {
    // The window outlives a closed web, as in the editor; its nodes name items of a web that is gone.
    if (state_.web() == nullptr)
        throw host::Failure(
            host::status::NoObject,
            "the web of this window is closed: nothing was changed (File > Open Web... opens one)");
    if (state_.web()->webPath() != windowWeb_)
        throw host::Failure(host::status::NoObject,
                            "this window shows a web that is no longer open: nothing was changed");
}

void TerminalHost::beforeChoice(bool checked) {
    lastUndo_.clear();
    requireWindowsWeb();
    const host::Node* node = form()->tree().selected();
    if (node == nullptr)
        return;
    if (node->parent() == nullptr) {
        // The choice runs as the editor runs it, and changes nothing there: that is said, not left silent.
        note_ = WebItselfNote;
        return;
    }
    const std::vector<std::string> parts = namesBelowWeb(*node);
    PendingChoice pending;
    pending.label = std::string(checked ? "published " : "marked ") + std::string(node->text());
    pending.publishing = checked;
    pending.nodeKey = node->key();
    try {
        pending.files = std::make_shared<const ChoiceFiles>(
            ChoiceFiles::of(*state_.web(), parts, webtree::isFolderNode(*node)));
        pending.before = snapshotFiles(*state_.web(), *pending.files);
    } catch (const std::exception& e) {
        // The choice itself still runs; only its undo is lost.
        pendingSnapshotError_ = e.what();
        return;
    }
    pending_ = std::move(pending);
}

void TerminalHost::afterChoice() {
    if (!pending_) {
        if (!pendingSnapshotError_.empty())
            note_ = "this choice cannot be undone: " + pendingSnapshotError_;
        return;
    }
    PendingChoice pending = std::move(*pending_);
    pending_.reset();
    FileSnapshot after;
    try {
        if (state_.web() == nullptr)
            throw host::Failure(host::status::NoObject, "the web was closed");
        after = snapshotFiles(*state_.web(), *pending.files);
    } catch (const std::exception& e) {
        note_ = std::string("this choice cannot be undone: ") + e.what();
        return;
    }
    auto choice = choiceBetween(pending.label, pending.files, pending.before, after);
    if (!choice)
        return;
    history_.record(std::move(*choice));
    if (!pending.publishing) {
        // Marking an item that published pages link to: those links break, and it is said at once.
        const host::TreeModel& tree = form()->tree();
        if (const host::Node* node = tree.find(pending.nodeKey)) {
            const LinkWarning warning = links_.into(tree, *node);
            if (warning.links > 0)
                note_ = std::string(node->text()) + ": " + describe(warning);
        }
    }
    if (pending.publishing && pending.files->chosenFolder()) {
        const std::size_t own = marksRemovedOnTheirOwn(*pending.files, pending.before, after);
        if (own > 0)
            note_ = "published " + itemsText(own) + (own == 1 ? " that was" : " that were") + " marked on " +
                    (own == 1 ? "its" : "their") + " own " + std::string(screen_.symbol("\u2014", "-")) +
                    " u to undo";
    }
}

void TerminalHost::chooseAllOfKind(const std::string& extension, bool publishing) {
    window::frmMain& f = *form();
    std::vector<host::Node*> nodes;
    std::vector<std::vector<std::string>> items;
    f.tree().forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        if (node.parent() == nullptr || webtree::isFolderNode(node) ||
            webtree::hasMarkSuffix(node.image()) != publishing || extensionOf(node.text()) != extension)
            return;
        nodes.push_back(f.tree().find(node.key()));
        items.push_back(namesBelowWeb(node));
    });
    const std::string kind = "*." + extension + " file";
    const std::string shownAs = publishing ? "Don't Publish" : "published";
    if (nodes.empty()) {
        note_ = "no " + kind + " shows " + shownAs;
        return;
    }
    const std::string count = std::to_string(nodes.size()) + " " + kind + (nodes.size() == 1 ? "" : "s");
    MessageScreen question(count + " show" + (nodes.size() == 1 ? "s " : " ") + shownAs + ". " +
                               (publishing ? "Publish them all again?" : "Leave them all out of the web?"),
                           std::string(window::layout::MessageTitle), 32,
                           {publishing ? "Publish all" : "Don't Publish all", "Cancel"});
    if (!runModal(question) || question.chosen() != 0)
        return;
    requireWindowsWeb();
    if (!lockForChoice())
        return; // the web changed meanwhile: said once the window shows it afresh
    lastUndo_.clear();
    auto files = std::make_shared<const ChoiceFiles>(ChoiceFiles::ofFiles(items));
    const FileSnapshot before = snapshotFiles(*state_.web(), *files);
    // Recorded however the marking ends: what it wrote before a failure stays undoable.
    const auto record = host::scopeExit([&] {
        try {
            const std::string label = std::string(publishing ? "published all " : "marked all ") + kind + "s";
            if (auto choice = choiceBetween(label, files, before, snapshotFiles(*state_.web(), *files)))
                history_.record(std::move(*choice));
        } catch (const std::exception&) {
            // Only the undo is lost.
        }
    });
    f.RunAsOneCommand([&] {
        for (host::Node* node : nodes) {
            f.tree().select(node);
            f.setNoPublishChecked(publishing);
            f.mnuNoPublish_Click();
        }
    });
    note_ = std::string(publishing ? "published " : "marked ") + count + " " +
            std::string(screen_.symbol("\u2014", "-")) + " u to undo";
}

void TerminalHost::undoChoice(bool redo) {
    if (redo ? !history_.canRedo() : !history_.canUndo()) {
        note_ = redo ? "nothing to redo" : "nothing to undo";
        return;
    }
    host::disk::DiskApplication* web = state_.web();
    const std::string nothing = std::string(": nothing was ") + (redo ? "redone" : "undone");
    if (web == nullptr)
        throw host::Failure(host::status::NoObject, "no web is open" + nothing);
    if (web->webPath() != windowWeb_)
        throw host::Failure(host::status::NoObject,
                            "this window shows a web that is no longer open" + nothing);
    // Like any choice: under the web's lock, and counted, so other windows on the web learn of it.
    auto lock = web->lockForWriting(true, [this] {
        note_ = "Waiting for another varnook to finish changing the web...";
        draw();
        screen_.show();
    });
    const Choice& choice = redo ? history_.redo(*web) : history_.undo(*web);
    lock->commit();
    filledAt_ = web->changeCount();
    note_ = std::string(redo ? "redid: " : "undid: ") + choice.label + " (" + itemsText(choice.items()) + ")";
    // The status line gives way to the next key; the tree's frame keeps it until the next choice.
    lastUndo_ = note_;
    refillKeepingView();
}

void TerminalHost::refillKeepingView() {
    window::frmMain* f = form();
    if (!windowUp() || f == nullptr || state_.web() == nullptr || state_.web()->webPath() != windowWeb_)
        return;
    host::TreeModel& tree = f->tree();
    std::vector<std::string> expanded;
    tree.forEachInTreeOrder([&](const host::Node& n, std::size_t) {
        if (n.expanded())
            expanded.emplace_back(n.key());
    });
    const std::string selected =
        tree.selected() != nullptr ? std::string(tree.selected()->key()) : std::string();
    const std::size_t top = view_->top();
    tree.clear();
    f->Fill();
    for (const auto& key : expanded) {
        if (host::Node* n = tree.find(key))
            n->setExpanded(true);
    }
    if (host::Node* n = tree.find(selected))
        tree.select(n);
    view_->update();
    view_->scrollBy(static_cast<int>(top));
    view_->ensureSelection();
    view_->reveal();
    afterFill();
}

} // namespace terminal
