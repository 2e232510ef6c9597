#include "window/win32/PublishingDialog.h"

#include "host/Failure.h"
#include "host/Ownership.h"
#include "host/automation/Com.h"
#include "window/Layout.h"
#include "window/win32/DpiAwareness.h"
#include "window/win32/Images.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <optional>
#include <utility>

namespace window::win32 {
namespace {

using host::automation::checkLastErrorIfFalse;
using host::automation::checkLastErrorIfNull;
using host::automation::wide;

constexpr int TreeId = 100;
constexpr int Label1Id = 101;
constexpr int Label2Id = 102;
constexpr UINT NoPublishCommand = 1;
constexpr int TwipsPerInch = 1440;

// A fixed dialog frame (no sizing border, no minimise or maximise box), not shown yet. An overlapped
// window rather than a pop-up one, so the system chooses where it first appears.
constexpr DWORD DialogStyle = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD DialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// The dialog template's x for "the system's default position".
constexpr short DefaultPosition = static_cast<short>(0x8000);

// An empty dialog as the platform reads its template: the fixed fields, then the arrays of its menu, its
// window class and its title, each right after the one before. The controls are made afterwards, at pixel
// positions of their own, from the layout in twips.
struct alignas(DWORD) EmptyDialogTemplate {
    DLGTEMPLATE fixed;
    WORD menu;        // 0: none
    WORD windowClass; // 0: the dialog class
    wchar_t title[32];
};

EmptyDialogTemplate dialogTemplate() {
    EmptyDialogTemplate out{};
    out.fixed.style = DialogStyle;
    out.fixed.dwExtendedStyle = DialogExStyle;
    out.fixed.x = DefaultPosition; // cx, cy: set from the layout once created
    const std::wstring title = wide(std::string(layout::Caption));
    if (title.size() >= std::size(out.title))
        throw host::Failure("the window's caption does not fit its template");
    std::copy(title.begin(), title.end(), out.title);
    return out;
}

int dpi(int axis) {
    const WindowDc screen(nullptr);
    const int value = screen ? GetDeviceCaps(screen.get(), axis) : 96;
    return value > 0 ? value : 96;
}

} // namespace

PublishingDialog::PublishingDialog(host::WindowEvents& events) : events_(events) {
    // The window draws itself at the system's resolution. In an editor that is not aware of it (an old
    // editor is not), Windows would otherwise draw it at 96 dots per inch and stretch it, blurred. The
    // editor's own windows keep their awareness.
    const ThreadDpiAwareness awareness(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
    dpiX_ = dpi(LOGPIXELSX);
    dpiY_ = dpi(LOGPIXELSY);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // The hidden owner: an owned window has no taskbar button, and the editor's window stays enabled.
    owner_.reset(checkLastErrorIfNull(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, thisModule(), nullptr),
        "creating the publishing window's owner"));

    const EmptyDialogTemplate templ = dialogTemplate();
    dialog_ = checkLastErrorIfNull(CreateDialogIndirectParamW(thisModule(), &templ.fixed, owner_.get(),
                                                              dialogProc, reinterpret_cast<LPARAM>(this)),
                                   "creating the publishing window");
    try {
        createControls();
        router_ = std::make_unique<KeyboardRouter>(dialog_);
        mirror_ = std::make_unique<TreeViewMirror>(tree_, events_.tree(),
                                                   [this](POINT at) { event([&] { onContextMenu(at); }); });
    } catch (...) {
        destroy();
        throw;
    }
}

PublishingDialog::~PublishingDialog() {
    destroy();
}

void PublishingDialog::createControls() {
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(dialog_, WM_SETFONT, font, FALSE);

    // Created in tab order: the tree, Close, Label1, Label2; each at its place in the layout, in pixels at
    // the screen's resolution, until the labels have measured their text.
    std::array<HWND, layout::Controls.size()> made{};
    auto create = [&](const wchar_t* cls, const layout::Control& control, DWORD style, DWORD exStyle,
                      int id) {
        const layout::Rect r = toPixels(control.twips);
        HWND created = checkLastErrorIfNull(
            CreateWindowExW(exStyle, cls, wide(std::string(control.text)).c_str(),
                            WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.width, r.height, dialog_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), thisModule(), nullptr),
            "creating the control " + std::string(control.name));
        SendMessageW(created, WM_SETFONT, font, FALSE);
        made[static_cast<std::size_t>(control.tabIndex)] = created;
        return created;
    };
    // Lines and buttons; no label editing, since node texts make up each item's location.
    tree_ = create(WC_TREEVIEWW, layout::tvwWeb,
                   WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, TreeId);
    // Close is the cancel button: Escape presses it.
    create(WC_BUTTONW, layout::cmdClose, WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL);
    // Wrapped at word breaks where the screen's font draws the text wider than the label.
    create(WC_STATICW, layout::Label1, SS_LEFT | SS_NOPREFIX, 0, Label1Id);
    create(WC_STATICW, layout::Label2, SS_LEFT | SS_NOPREFIX, 0, Label2Id);
    placeControls(made);

    const int imageSize = imageSizeAt(dpiY_);
    // The caption's icon and the larger one the task switcher shows, at the platform's sizes: 16 and 32
    // pixels at 96 dots per inch.
    smallIcon_ = makeIcon(windowIcon(imageSize));
    bigIcon_ = makeIcon(windowIcon(2 * imageSize));
    SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));

    images_ = makeWebImageList(imageSize);
    SendMessageW(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_.get()));
    // What can be seen of the tree goes in while the window is hidden: no drawing until it is shown.
    SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
}

void PublishingDialog::placeControls(const std::array<HWND, layout::Controls.size()>& controls) {
    // The labels are given the height their text takes in the screen's font at their width, as a static
    // control draws it; the rest keep theirs.
    std::array<layout::Rect, layout::Controls.size()> places{};
    std::array<int, layout::Controls.size()> needed{};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        places[i] = toPixels(layout::Controls[i].twips);
        if (layout::Controls[i].kind == layout::ControlKind::Label)
            needed[i] = textHeight(controls[i], places[i].width);
    }
    const layout::Placement placement = layout::grownToFit(toPixels(layout::ClientTwips), places, needed);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const layout::Rect& r = placement.controls[i];
        if (r.top != places[i].top || r.height != places[i].height)
            SetWindowPos(controls[i], nullptr, r.left, r.top, r.width, r.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The frame around that client area.
    RECT frame{0, 0, placement.client.width, placement.client.height};
    AdjustWindowRectEx(&frame, DialogStyle, FALSE, DialogExStyle);
    SetWindowPos(dialog_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame the platform actually draws may differ from what it predicts: correct by the difference.
    RECT client{};
    GetClientRect(dialog_, &client);
    const int dx = placement.client.width - client.right;
    const int dy = placement.client.height - client.bottom;
    if (dx != 0 || dy != 0) {
        RECT window{};
        GetWindowRect(dialog_, &window);
        SetWindowPos(dialog_, nullptr, 0, 0, window.right - window.left + dx, window.bottom - window.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int PublishingDialog::textHeight(HWND label, int width) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(label)) + 1, L'\0');
    const int length = GetWindowTextW(label, text.data(), static_cast<int>(text.size()));
    const WindowDc dc(label);
    if (!dc)
        throw host::Failure("cannot measure the text of a label");
    const auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = SelectObject(dc.get(), font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    const auto restore = host::scopeExit([&] { SelectObject(dc.get(), previous); });
    // The flags the label itself draws with (SS_LEFT, SS_NOPREFIX).
    RECT r{0, 0, width, 0};
    DrawTextW(dc.get(), text.c_str(), length, &r,
              DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX);
    return r.bottom - r.top;
}

void PublishingDialog::destroy() {
    if (dialog_ == nullptr && !owner_)
        return;
    router_.reset();
    mirror_.reset();
    if (dialog_ != nullptr) {
        // The procedure hears nothing more of a window that is going.
        SetWindowLongPtrW(dialog_, DWLP_USER, 0);
        DestroyWindow(std::exchange(dialog_, nullptr));
    }
    tree_ = nullptr;
    owner_.reset();
    // The tree does not destroy its image list, nor the window its icon.
    images_.reset();
    smallIcon_.reset();
    bigIcon_.reset();
}

void PublishingDialog::show() {
    if (dialog_ == nullptr)
        return;
    if (!shownOnce_) {
        mirror_->flush();
        SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
    }
    ShowWindow(dialog_, SW_SHOWNORMAL);
    SetForegroundWindow(dialog_);
    if (!shownOnce_) {
        shownOnce_ = true;
        InvalidateRect(tree_, nullptr, TRUE);
        // The keyboard focus starts in the tree.
        SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree_), TRUE);
    }
}

void PublishingDialog::hide() {
    if (dialog_ != nullptr)
        ShowWindow(dialog_, SW_HIDE);
}

void PublishingDialog::bringToFront() {
    if (dialog_ == nullptr)
        return;
    ShowWindow(dialog_, SW_SHOWNORMAL);
    BringWindowToTop(dialog_);
    SetForegroundWindow(dialog_);
}

bool PublishingDialog::popUpMenu(bool noPublishChecked, float x, float y) {
    if (dialog_ == nullptr)
        return false;
    // mnuPopup is a menu of its own that is never shown as a bar; its one item is mnuNoPublish.
    constexpr std::string_view what = "creating the context menu";
    const UniqueMenu bar(checkLastErrorIfNull(CreateMenu(), what));
    UniqueMenu owned(checkLastErrorIfNull(CreatePopupMenu(), what));
    checkLastErrorIfFalse(AppendMenuW(owned.get(), MF_STRING | (noPublishChecked ? MF_CHECKED : MF_UNCHECKED),
                                      NoPublishCommand, L"Don't Publish"),
                          what);
    checkLastErrorIfFalse(
        AppendMenuW(bar.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(owned.get()), L"PopupMenu"),
        what);
    // The bar destroys its pop-up with itself.
    const HMENU popup = owned.release();
    POINT at{toPixelsX(x), toPixelsY(y)};
    ClientToScreen(tree_, &at);

    const KeyboardRouter::ModalLoop modal;
    // Without the window in front, the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(dialog_);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                       at.x, at.y, 0, dialog_, nullptr));
    if (dialog_ != nullptr)
        PostMessageW(dialog_, WM_NULL, 0, 0);
    return chosen == NoPublishCommand;
}

void PublishingDialog::showFailure(const std::string& message) {
    const KeyboardRouter::ModalLoop modal;
    MessageBoxW(dialog_, wide(message).c_str(), wide(std::string(layout::MessageTitle)).c_str(),
                MB_OK | MB_ICONERROR);
}

INT_PTR CALLBACK PublishingDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return FALSE; // the focus is set when the window is first shown
    }
    auto* self = reinterpret_cast<PublishingDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self != nullptr ? self->handle(message, wParam, lParam) : FALSE;
}

template <class Handler> void PublishingDialog::event(Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& failure) {
        try {
            showFailure(failure.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            showFailure("An unexpected error ended the command.");
        } catch (...) {
        }
    }
}

INT_PTR PublishingDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            event([this] { events_.cmdClose_Click(); });
            return TRUE;
        }
        // Enter with the focus in the tree: there is no default button.
        return LOWORD(wParam) == IDOK;
    case WM_CLOSE:
        // The close box does what Close does.
        event([this] { events_.cmdClose_Click(); });
        return TRUE;
    case WM_NOTIFY: {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (header.hwndFrom != tree_ || !mirror_)
            return FALSE;
        std::optional<LRESULT> answer;
        event([&] { answer = mirror_->onNotify(header); });
        if (!answer)
            return FALSE;
        if (dialog_ != nullptr)
            SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, *answer);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void PublishingDialog::onContextMenu(POINT at) {
    events_.tvwWeb_MouseUp(2, shiftState(), toTwipsX(at.x), toTwipsY(at.y));
}

int PublishingDialog::shiftState() const {
    // As the platform's mouse events give it: 1 Shift, 2 Ctrl, 4 Alt.
    return (GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
           (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

layout::Rect PublishingDialog::toPixels(const layout::Rect& twips) const {
    return {toPixelsX(twips.left), toPixelsY(twips.top), toPixelsX(twips.width), toPixelsY(twips.height)};
}

// To the nearest pixel, as MulDiv rounds.
int PublishingDialog::toPixelsX(double twips) const {
    return static_cast<int>(std::lround(twips * dpiX_ / TwipsPerInch));
}
int PublishingDialog::toPixelsY(double twips) const {
    return static_cast<int>(std::lround(twips * dpiY_ / TwipsPerInch));
}
float PublishingDialog::toTwipsX(int pixels) const {
    return static_cast<float>(pixels) * TwipsPerInch / static_cast<float>(dpiX_);
}
float PublishingDialog::toTwipsY(int pixels) const {
    return static_cast<float>(pixels) * TwipsPerInch / static_cast<float>(dpiY_);
}

} // namespace window::win32
