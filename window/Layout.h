#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The publishing window's fixed contents: captions, the controls in tab order with their geometry, and
// the hidden context menu. Geometry is in twips from the client area's top left corner; at 96 dots per
// inch 15 twips make one pixel.
namespace window::layout {

inline constexpr int TwipsPerPixel = 15;

struct Rect {
    int left, top, width, height;
    constexpr Rect pixels() const {
        return {left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel};
    }
};

enum class ControlKind { Tree, Button, Label };

struct Control {
    std::string_view name;
    ControlKind kind;
    Rect twips;
    int tabIndex;
    std::string_view text;
};

inline constexpr std::string_view Caption = "Varnook 3.0";
inline constexpr std::string_view MessageTitle = "Varnook"; // of every message box the add-in shows
inline constexpr Rect ClientTwips{0, 0, 6405, 4485};        // 427 x 299 pixels

inline constexpr Control tvwWeb{"tvwWeb", ControlKind::Tree, {120, 840, 6135, 2895}, 0, ""};
inline constexpr Control cmdClose{"cmdClose", ControlKind::Button, {5160, 3960, 1095, 375}, 1, "Close"};
inline constexpr Control Label1{"Label1",
                                ControlKind::Label,
                                {120, 120, 6135, 255},
                                2,
                                "Right-click a file to specify whether or not to publish that file."};
inline constexpr Control Label2{
    "Label2",
    ControlKind::Label,
    {120, 450, 6135, 255},
    3,
    "Right-click a folder to specify whether or not to publish all files in that folder."};

// In tab order; keyboard focus starts in the tree.
inline constexpr std::array<Control, 4> Controls{tvwWeb, cmdClose, Label1, Label2};

// Where the controls go once each has the height its text needs in the screen's font: a label that needs
// more than its place grows downward, and whatever lies below it moves down as much, so that the window
// grows by the lines its labels wrap into and nothing overlaps. Each height that fits leaves the layout as
// it is. Growing rather than wrapping into the space around a label: the layout leaves 75 twips between the
// labels and 135 under the second, less than a line, and shrinking the tree would hide rows of the web.
// All in one unit (pixels).
struct Placement {
    Rect client;
    std::array<Rect, 4> controls;
};
constexpr Placement grownToFit(Rect client, const std::array<Rect, 4>& controls,
                               const std::array<int, 4>& neededHeights) {
    Placement out{client, controls};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const int growth = neededHeights[i] - controls[i].height;
        if (growth <= 0)
            continue;
        out.controls[i].height += growth;
        out.client.height += growth;
        const int bottom = controls[i].top + controls[i].height;
        for (std::size_t j = 0; j < controls.size(); ++j)
            if (controls[j].top >= bottom)
                out.controls[j].top += growth;
    }
    return out;
}

// The context menu: never shown as a menu bar, only popped up over the tree.
inline constexpr std::string_view mnuPopupCaption = "PopupMenu";
inline constexpr std::string_view mnuNoPublishCaption = "Don't Publish";

} // namespace window::layout
