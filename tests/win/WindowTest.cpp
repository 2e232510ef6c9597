// The publishing window of the real Varnook3.dll, used as a person uses it: the test editor's button
// opens it, real mouse and key input drives it, and the test thread's plain message loop (which knows
// nothing of the window) runs it, as the editor's loop does.

#include "AddinFixture.h"
#include "UiDriver.h"
#include "window/Images.h"
#include "window/Layout.h"

#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <map>

namespace {

using namespace testwin;
using namespace uidriver;

const wchar_t* const Label1Text = L"Right-click a file to specify whether or not to publish that file.";
const wchar_t* const Label2Text =
    L"Right-click a folder to specify whether or not to publish all files in that folder.";

// The image list's order: index n-1 holds the n-th key.
const std::map<std::wstring, int> ImageIndex = {
    {L"config", 0},    {L"config_n", 1},   {L"closed", 2}, {L"closed_n", 3},  {L"open", 4},
    {L"open_n", 5},    {L"home", 6},       {L"home_n", 7}, {L"gif", 8},       {L"gif_n", 9},
    {L"media", 10},    {L"media_n", 11},   {L"page", 12},  {L"page_n", 13},   {L"script", 14},
    {L"script_n", 15}, {L"jpg", 16},       {L"jpg_n", 17}, {L"text", 18},     {L"text_n", 19},
    {L"unknown", 20},  {L"unknown_n", 21}, {L"web", 22},   {L"winmedia", 23}, {L"winmedia_n", 24},
    {L"xml", 25},      {L"xml_n", 26},
};

std::vector<HWND> publishingWindows() {
    return dialogsTitled(L"Varnook 3.0");
}

std::vector<HWND> childrenInOrder(HWND parent) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
        out.push_back(c);
    return out;
}

std::wstring classOf(HWND w) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    return cls;
}

std::wstring textOf(HWND w) {
    wchar_t text[256] = {};
    GetWindowTextW(w, text, 256);
    return text;
}

// One TreeView item as the control holds it, with its depth.
struct Item {
    int depth;
    std::wstring text;
    int image, selectedImage;
    bool expanded;
    bool operator==(const Item&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Item& i) {
    return out << i.depth << " " << host::automation::narrow(i.text) << " " << i.image << "/"
               << i.selectedImage << (i.expanded ? " expanded" : "");
}

Item itemOf(HWND tree, HTREEITEM h, int depth) {
    wchar_t text[512] = {};
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
    item.hItem = h;
    item.pszText = text;
    item.cchTextMax = 512;
    item.stateMask = TVIS_EXPANDED;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return {depth, text, item.iImage, item.iSelectedImage, (item.state & TVIS_EXPANDED) != 0};
}

void collect(HWND tree, HTREEITEM first, int depth, std::vector<Item>& out) {
    for (HTREEITEM h = first; h != nullptr; h = TreeView_GetNextSibling(tree, h)) {
        out.push_back(itemOf(tree, h, depth));
        collect(tree, TreeView_GetChild(tree, h), depth + 1, out);
    }
}

std::vector<Item> itemsOf(HWND tree) {
    std::vector<Item> out;
    collect(tree, TreeView_GetRoot(tree), 0, out);
    return out;
}

// Expands every item with children, those that come in with an expansion too.
void expandAll(HWND tree, HTREEITEM first) {
    for (HTREEITEM h = first; h != nullptr; h = TreeView_GetNextSibling(tree, h)) {
        TreeView_Expand(tree, h, TVE_EXPAND);
        expandAll(tree, TreeView_GetChild(tree, h));
    }
}

// Whether the item shows an expand button, whatever the control holds beneath it.
bool hasButton(HWND tree, HTREEITEM h) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_CHILDREN;
    item.hItem = h;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.cChildren != 0;
}

Item expected(int depth, const wchar_t* text, const wchar_t* image, const wchar_t* selected,
              bool expanded = false) {
    return {depth, text, ImageIndex.at(image), ImageIndex.at(selected), expanded};
}

// The item reached by texts from the root down.
HTREEITEM findItem(HWND tree, std::initializer_list<std::wstring> path) {
    HTREEITEM level = TreeView_GetRoot(tree);
    HTREEITEM found = nullptr;
    for (const std::wstring& text : path) {
        found = nullptr;
        for (HTREEITEM h = level; h != nullptr; h = TreeView_GetNextSibling(tree, h)) {
            if (itemOf(tree, h, 0).text == text) {
                found = h;
                break;
            }
        }
        if (found == nullptr)
            return nullptr;
        level = TreeView_GetChild(tree, found);
    }
    return found;
}

POINT menuItemCentre(HWND menuWindow, UINT index) {
    constexpr UINT GetHMenu = 0x01E1; // MN_GETHMENU
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, GetHMenu, 0, 0));
    RECT r{};
    GetMenuItemRect(nullptr, menu, index, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT centreOf(HWND tree, HTREEITEM h) {
    RECT r{};
    std::memcpy(&r, &h, sizeof h);
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &p);
    return p;
}

int dpiOf(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi;
}

RECT pixelsOf(const window::layout::Rect& twips) {
    const int x = dpiOf(LOGPIXELSX), y = dpiOf(LOGPIXELSY);
    const int left = MulDiv(twips.left, x, 1440), top = MulDiv(twips.top, y, 1440);
    return {left, top, left + MulDiv(twips.width, x, 1440), top + MulDiv(twips.height, y, 1440)};
}

RECT rectInParent(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool sameRect(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != 0;
}

// The add-in connected to a test editor whose main window is up and active, with a web open.
class Window : public ServerAddin {
  protected:
    ComPtr<Web> web = publishingWeb();
    HWND editor = nullptr;

    void SetUp() override {
        ServerAddin::SetUp();
        ASSERT_EQ(connect(app.Get()), S_OK);
        editor = CreateWindowExW(0, L"STATIC", L"Editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(editor, nullptr);
        SetForegroundWindow(editor);
        SetActiveWindow(editor);
        pumpFor(100);
        app->activeWeb = web;
    }
    void TearDown() override {
        EXPECT_EQ(extensibility->OnDisconnection(ext_dm_UserClosed, &custom), S_OK);
        EXPECT_TRUE(publishingWindows().empty()) << "disconnection closes the window";
        DestroyWindow(editor);
        app->activeWeb.Reset();
        ServerAddin::TearDown();
    }

    Control& button() { return *popup()->children.at(0).Get(); }

    // The editor's button, and the window it opens.
    HWND press() {
        EXPECT_EQ(button().click(), std::vector<HRESULT>{S_OK});
        pumpFor(200);
        const auto windows = publishingWindows();
        return windows.size() == 1 ? windows[0] : nullptr;
    }
    static HWND treeOf(HWND dialog) { return FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr); }

    // Right-clicks the item, reads the menu that pops up, and clicks "Don't Publish" or dismisses the
    // menu with Escape.
    enum class Answer { Choose, Dismiss };
    std::vector<MenuItem> rightClick(HWND tree, HTREEITEM item, Answer answer) {
        std::vector<MenuItem> seen;
        const POINT at = centreOf(tree, item);
        EXPECT_TRUE(asUser([&] {
            rightClickAt(at);
            if (HWND menu = waitForWindow(visibleMenuWindow)) {
                seen = menuItems(menu);
                GetWindowRect(menu, &lastMenuRect);
                if (answer == Answer::Choose)
                    leftClickAt(menuItemCentre(menu, 0));
                else
                    pressKey(VK_ESCAPE);
            }
        }));
        return seen;
    }

    RECT lastMenuRect{};

    Properties& propertiesOf(const wchar_t* url) {
        if (File* f = web->fileAt(url))
            return *f->properties.Get();
        return *web->folderAt(url)->properties.Get();
    }
};

TEST_F(Window, OpensWithItsFrameControlsAndTheFilledTree) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr) << "one window";
    EXPECT_TRUE(IsWindowVisible(dialog));

    // A fixed dialog frame, no menu, no taskbar button: owned by a hidden window of its own, while the
    // editor's window is neither its owner nor disabled.
    const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU));
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD));
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW));
    EXPECT_EQ(GetMenu(dialog), nullptr);
    HWND owner = GetWindow(dialog, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_NE(owner, editor);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_TRUE(IsWindowEnabled(editor)) << "modeless";
    EXPECT_NE(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0), 0) << "the window's icon";

    RECT client{};
    GetClientRect(dialog, &client);
    const RECT wanted = pixelsOf(window::layout::ClientTwips);
    EXPECT_EQ(client.right, wanted.right);
    EXPECT_EQ(client.bottom, wanted.bottom);

    // The controls in tab order, each at its place, all in the default GUI font.
    const auto controls = childrenInOrder(dialog);
    ASSERT_EQ(controls.size(), 4u);
    const std::vector<std::wstring> classes{L"SysTreeView32", L"Button", L"Static", L"Static"};
    const std::vector<std::wstring> texts{L"", L"Close", Label1Text, Label2Text};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(classOf(controls[i]), classes[i]) << i;
        EXPECT_EQ(textOf(controls[i]), texts[i]) << i;
        EXPECT_TRUE(sameRect(rectInParent(controls[i]), pixelsOf(window::layout::Controls[i].twips))) << i;
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(controls[i], WM_GETFONT, 0, 0)),
                  GetStockObject(DEFAULT_GUI_FONT))
            << i;
    }
    HWND tree = controls[0];
    const LONG_PTR treeStyle = GetWindowLongPtrW(tree, GWL_STYLE);
    EXPECT_TRUE((treeStyle & TVS_HASLINES) && (treeStyle & TVS_HASBUTTONS) && (treeStyle & WS_TABSTOP));
    EXPECT_FALSE(treeStyle & TVS_EDITLABELS) << "node texts make up the items' locations";
    EXPECT_EQ(GetFocus(), tree) << "the keyboard focus starts in the tree";
    EXPECT_EQ(GetDlgCtrlID(controls[1]), IDCANCEL) << "Close is the cancel button";

    // What the fill prescribes for this web, node for node, once every folder is open.
    expandAll(tree, TreeView_GetRoot(tree));
    const std::vector<Item> want{
        expected(0, L"http://localhost/web", L"web", L"web", true),
        expected(1, L"images", L"closed", L"open", true),
        expected(2, L"logo.gif", L"gif", L"gif"),
        expected(2, L"banner.jpg", L"jpg_n", L"jpg_n"),
        expected(2, L"icons", L"closed", L"open", true), // a folder's files come before its folders
        expected(3, L"arrow.gif", L"gif", L"gif"),
        expected(1, L"private", L"closed_n", L"open_n", true),
        expected(2, L"notes.txt", L"text_n", L"text_n"),
        expected(2, L"draft.htm", L"page_n", L"page_n"),
        expected(1, L"empty", L"closed_n", L"open_n"),
        expected(1, L"index.htm", L"home", L"home"),
        expected(1, L"about.htm", L"page", L"page"),
        expected(1, L"style.css", L"unknown", L"unknown"),
    };
    EXPECT_EQ(itemsOf(tree), want);

    // ilWeb: the 27 pictures in the keys' order, each with its transparency, at the screen's size.
    const auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    ASSERT_NE(images, nullptr);
    ASSERT_EQ(ImageList_GetImageCount(images), 27);
    const int side = window::imageSizeAt(dpiOf(LOGPIXELSY));
    const auto area = static_cast<std::size_t>(side * side);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, canvas);
    for (const auto& [key, index] : ImageIndex) {
        auto* px = static_cast<DWORD*>(bits);
        std::fill(px, px + area, 0x00FF00FFu); // a background no picture uses
        ASSERT_TRUE(ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL));
        GdiFlush();
        const auto picture = window::imagePixels(host::automation::narrow(key), side);
        int differing = 0;
        for (std::size_t i = 0; i < area; ++i) {
            const window::Rgba p = picture.rgba[i];
            const DWORD expect = p.a == 0 ? 0x00FF00FFu : (DWORD{p.r} << 16) | (DWORD{p.g} << 8) | p.b;
            differing += (px[i] & 0x00FFFFFFu) != expect;
        }
        EXPECT_EQ(differing, 0) << host::automation::narrow(key);
    }
    SelectObject(dc, old);
    DeleteObject(canvas);
    DeleteDC(dc);
}

// Run at the resolution Wine is set to (VARNOOK_WINE_DPI, 96 by default): CTest runs it at 96 and 144.
using Dpi = Window;

int iconSide(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    return bitmap.bmWidth;
}

TEST_F(Dpi, EachLabelShowsItsWholeTextAndThePicturesTakeTheScreensSize) {
    const int dpi = dpiOf(LOGPIXELSY);
    if (const char* wanted = std::getenv("VARNOOK_WINE_DPI")) {
        ASSERT_EQ(dpi, std::atoi(wanted)) << "Wine runs at the resolution it was set to";
    }
    const DPI_AWARENESS_CONTEXT editorAwareness = GetThreadDpiAwarenessContext();
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    // Drawn at the system's resolution, not stretched to it, although this editor is not aware of it; the
    // editor's thread keeps its own awareness.
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetWindowDpiAwarenessContext(dialog),
                                             DPI_AWARENESS_CONTEXT_SYSTEM_AWARE));
    EXPECT_TRUE(AreDpiAwarenessContextsEqual(GetThreadDpiAwarenessContext(), editorAwareness));
    RECT client{};
    GetClientRect(dialog, &client);
    const auto controls = childrenInOrder(dialog);
    ASSERT_EQ(controls.size(), 4u);

    for (std::size_t i = 0; i < controls.size(); ++i) {
        const RECT place = rectInParent(controls[i]);
        const RECT layout = pixelsOf(window::layout::Controls[i].twips);
        SCOPED_TRACE(window::layout::Controls[i].name);
        // Every control keeps its width and left edge, lies inside the window, and overlaps no other.
        EXPECT_EQ(place.left, layout.left);
        EXPECT_EQ(place.right, layout.right);
        EXPECT_GE(place.top, layout.top);
        EXPECT_LE(place.bottom, client.bottom);
        for (std::size_t j = 0; j < i; ++j) {
            RECT other = rectInParent(controls[j]), both{};
            EXPECT_FALSE(IntersectRect(&both, &place, &other))
                << "overlaps " << window::layout::Controls[j].name;
        }
        if (window::layout::Controls[i].kind != window::layout::ControlKind::Label) {
            EXPECT_EQ(place.bottom - place.top, layout.bottom - layout.top) << "only labels grow";
            continue;
        }
        // The text as the label draws it, in its own font, wrapped at its width: all of it in the label.
        const std::wstring text = textOf(controls[i]);
        HDC labelDc = GetDC(controls[i]);
        const HGDIOBJ previous =
            SelectObject(labelDc, reinterpret_cast<HGDIOBJ>(SendMessageW(controls[i], WM_GETFONT, 0, 0)));
        RECT inside{};
        GetClientRect(controls[i], &inside);
        RECT needed = inside;
        DrawTextW(labelDc, text.c_str(), -1, &needed,
                  DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(labelDc, previous);
        ReleaseDC(controls[i], labelDc);
        EXPECT_LE(needed.right, inside.right) << "no word is wider than the label";
        EXPECT_LE(needed.bottom, inside.bottom) << "every line of the text is in the label";
        EXPECT_EQ(GetWindowLongPtrW(controls[i], GWL_STYLE) & SS_ENDELLIPSIS, 0) << "nothing is cut off";
    }

    // The tree's pictures and the caption's icon at the size the resolution asks for; rows hold them.
    const int side = window::imageSizeAt(dpi);
    HWND tree = controls[0];
    int width = 0, height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(TreeView_GetImageList(tree, TVSIL_NORMAL), &width, &height));
    EXPECT_EQ(width, side);
    EXPECT_EQ(height, side);
    EXPECT_GE(TreeView_GetItemHeight(tree), side);
    EXPECT_EQ(iconSide(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0))), side);
    EXPECT_EQ(iconSide(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0))), 2 * side);
}

TEST_F(Window, RightClickChoosesDontPublishForFilesAndFolders) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    HWND tree = treeOf(dialog);

    // A marked file: the menu shows the check; choosing publishes it.
    TreeView_Expand(tree, findItem(tree, {L"http://localhost/web", L"images"}), TVE_EXPAND);
    TreeView_Expand(tree, findItem(tree, {L"http://localhost/web", L"private"}), TVE_EXPAND);
    HTREEITEM banner = findItem(tree, {L"http://localhost/web", L"images", L"banner.jpg"});
    ASSERT_NE(banner, nullptr);
    Properties& bannerProps = propertiesOf(L"http://localhost/web/images/banner.jpg");
    auto menu = rightClick(tree, banner, Answer::Choose);
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_EQ(menu[0].text, L"Don't Publish");
    EXPECT_TRUE(menu[0].checked);
    EXPECT_EQ(TreeView_GetSelection(tree), banner) << "the right-click selected the node under the pointer";
    // The pointer went to the window's handler in twips and came back: the menu opens where it was.
    const POINT clicked = centreOf(tree, banner);
    EXPECT_LE(std::abs(lastMenuRect.left - clicked.x), 2);
    EXPECT_LE(std::abs(lastMenuRect.top - clicked.y), 2);
    EXPECT_FALSE(isMarked(bannerProps));
    EXPECT_EQ(bannerProps.values.count(L"vti_donotpublish"), 0u);
    EXPECT_EQ(bannerProps.applied, 1);
    EXPECT_EQ(itemOf(tree, banner, 0).image, ImageIndex.at(L"jpg"));

    // An unmarked file: no check; choosing marks it.
    HTREEITEM logo = findItem(tree, {L"http://localhost/web", L"images", L"logo.gif"});
    Properties& logoProps = propertiesOf(L"http://localhost/web/images/logo.gif");
    menu = rightClick(tree, logo, Answer::Choose);
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_FALSE(menu[0].checked);
    EXPECT_TRUE(isMarked(logoProps));
    EXPECT_EQ(logoProps.applied, 1);
    EXPECT_EQ(itemOf(tree, logo, 0).image, ImageIndex.at(L"gif_n"));
    EXPECT_EQ(itemOf(tree, logo, 0).selectedImage, ImageIndex.at(L"gif_n"));

    // Escape dismisses the menu: nothing changes.
    HTREEITEM about = findItem(tree, {L"http://localhost/web", L"about.htm"});
    Properties& aboutProps = propertiesOf(L"http://localhost/web/about.htm");
    menu = rightClick(tree, about, Answer::Dismiss);
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_FALSE(menu[0].checked);
    EXPECT_TRUE(aboutProps.values.empty());
    EXPECT_EQ(aboutProps.applied, 0);
    EXPECT_EQ(itemOf(tree, about, 0).image, ImageIndex.at(L"page"));

    // A published folder: marking spreads to its files and writes the folder's own mark; the web's own
    // item is never written.
    HTREEITEM images = findItem(tree, {L"http://localhost/web", L"images"});
    menu = rightClick(tree, images, Answer::Choose);
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_FALSE(menu[0].checked);
    EXPECT_TRUE(isMarked(propertiesOf(L"http://localhost/web/images")));
    EXPECT_TRUE(isMarked(logoProps));
    EXPECT_TRUE(isMarked(bannerProps));
    EXPECT_TRUE(web->root->properties->values.empty());
    EXPECT_EQ(itemOf(tree, images, 0).image, ImageIndex.at(L"closed_n"));
    EXPECT_EQ(itemOf(tree, images, 0).selectedImage, ImageIndex.at(L"open_n"));
    EXPECT_EQ(itemOf(tree, banner, 0).image, ImageIndex.at(L"jpg_n"));

    // A marked folder: the check is on; publishing it unmarks everything in it.
    HTREEITEM secret = findItem(tree, {L"http://localhost/web", L"private"});
    menu = rightClick(tree, secret, Answer::Choose);
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_TRUE(menu[0].checked);
    EXPECT_FALSE(isMarked(propertiesOf(L"http://localhost/web/private/notes.txt")));
    EXPECT_FALSE(isMarked(propertiesOf(L"http://localhost/web/private/draft.htm")));
    EXPECT_EQ(itemOf(tree, secret, 0).image, ImageIndex.at(L"closed"));
    EXPECT_EQ(itemOf(tree, findItem(tree, {L"http://localhost/web", L"private", L"notes.txt"}), 0).image,
              ImageIndex.at(L"text"));
    EXPECT_EQ(publishingWindows().size(), 1u);
}

TEST_F(Window, KeysWorkInsideThePlainMessageLoop) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    HWND tree = treeOf(dialog);
    HWND close = GetDlgItem(dialog, IDCANCEL);
    ASSERT_EQ(GetFocus(), tree);

    auto type = [](WORD key, std::vector<WORD> modifiers = {}) {
        EXPECT_TRUE(asUser([&] { pressKey(key, modifiers); }));
    };
    type(VK_TAB);
    EXPECT_EQ(GetFocus(), close) << "Tab goes from the tree to Close";
    type(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), tree) << "Shift+Tab comes back";

    // The arrow keys move the selection, and Shift+F10 opens the same menu for it.
    type(VK_HOME);
    type(VK_DOWN);
    HTREEITEM images = findItem(tree, {L"http://localhost/web", L"images"});
    EXPECT_EQ(TreeView_GetSelection(tree), images);
    std::vector<MenuItem> seen;
    EXPECT_TRUE(asUser([&] {
        pressKey(VK_F10, {VK_SHIFT});
        if (HWND menu = waitForWindow(visibleMenuWindow)) {
            seen = menuItems(menu);
            pressKey(VK_ESCAPE);
        }
    }));
    ASSERT_EQ(seen.size(), 1u) << "Shift+F10 opens the context menu";
    EXPECT_FALSE(seen[0].checked);
    EXPECT_EQ(publishingWindows().size(), 1u) << "Escape in the menu leaves the window";
    EXPECT_TRUE(propertiesOf(L"http://localhost/web/images").values.empty());

    // The Menu key, then Down and Enter: "Don't Publish" chosen without the mouse.
    EXPECT_TRUE(asUser([&] {
        pressKey(VK_APPS);
        if (waitForWindow(visibleMenuWindow) != nullptr) {
            pressKey(VK_DOWN);
            pressKey(VK_RETURN);
        }
    }));
    EXPECT_TRUE(isMarked(propertiesOf(L"http://localhost/web/images"))) << "the folder was marked";
    EXPECT_EQ(itemOf(tree, images, 0).image, ImageIndex.at(L"closed_n"));

    // Escape presses Close: the window is gone.
    type(VK_ESCAPE);
    EXPECT_TRUE(publishingWindows().empty());

    // Again, with Enter on Close.
    dialog = press();
    ASSERT_NE(dialog, nullptr);
    type(VK_TAB);
    ASSERT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));
    type(VK_RETURN);
    EXPECT_TRUE(publishingWindows().empty());

    // And with the close box.
    dialog = press();
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    pumpFor(200);
    EXPECT_TRUE(publishingWindows().empty());
}

TEST_F(Window, HoldsTheTopLevelAndAFolderGetsItsChildrenWhenFirstExpanded) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    HWND tree = treeOf(dialog);
    std::vector<Item> want{
        expected(0, L"http://localhost/web", L"web", L"web", true),
        expected(1, L"images", L"closed", L"open"),
        expected(1, L"private", L"closed_n", L"open_n"),
        expected(1, L"empty", L"closed_n", L"open_n"),
        expected(1, L"index.htm", L"home", L"home"),
        expected(1, L"about.htm", L"page", L"page"),
        expected(1, L"style.css", L"unknown", L"unknown"),
    };
    EXPECT_EQ(itemsOf(tree), want);
    HTREEITEM images = findItem(tree, {L"http://localhost/web", L"images"});
    EXPECT_TRUE(hasButton(tree, images)) << "a folder shows its button before its children are in";
    EXPECT_TRUE(hasButton(tree, findItem(tree, {L"http://localhost/web", L"private"})));
    EXPECT_FALSE(hasButton(tree, findItem(tree, {L"http://localhost/web", L"empty"})));

    // Expanded from the keyboard: its children go in, theirs wait.
    TreeView_SelectItem(tree, images);
    EXPECT_TRUE(asUser([] { pressKey(VK_RIGHT); }));
    want[1].expanded = true;
    want.insert(want.begin() + 2,
                {expected(2, L"logo.gif", L"gif", L"gif"), expected(2, L"banner.jpg", L"jpg_n", L"jpg_n"),
                 expected(2, L"icons", L"closed", L"open")});
    EXPECT_EQ(itemsOf(tree), want);
    EXPECT_TRUE(hasButton(tree, findItem(tree, {L"http://localhost/web", L"images", L"icons"})));

    // Collapsed and expanded again: the same children, once.
    EXPECT_TRUE(asUser([] {
        pressKey(VK_LEFT);
        pressKey(VK_RIGHT);
    }));
    EXPECT_EQ(itemsOf(tree), want);
}

TEST_F(Window, AFolderMarkedWhileCollapsedShowsItsItemsMarkedWhenExpanded) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    HWND tree = treeOf(dialog);
    const auto before = TreeView_GetCount(tree);
    HTREEITEM images = findItem(tree, {L"http://localhost/web", L"images"});
    rightClick(tree, images, Answer::Choose);
    ASSERT_TRUE(isMarked(propertiesOf(L"http://localhost/web/images/icons/arrow.gif")));
    EXPECT_EQ(TreeView_GetCount(tree), before) << "the marking put nothing into the control";

    TreeView_Expand(tree, images, TVE_EXPAND);
    TreeView_Expand(tree, findItem(tree, {L"http://localhost/web", L"images", L"icons"}), TVE_EXPAND);
    const std::vector<Item> want{
        expected(1, L"images", L"closed_n", L"open_n", true),
        expected(2, L"logo.gif", L"gif_n", L"gif_n"),
        expected(2, L"banner.jpg", L"jpg_n", L"jpg_n"),
        expected(2, L"icons", L"closed_n", L"open_n", true),
        expected(3, L"arrow.gif", L"gif_n", L"gif_n"),
    };
    std::vector<Item> seen;
    collect(tree, images, 1, seen);
    seen.resize(std::min(seen.size(), want.size()));
    EXPECT_EQ(seen, want);
}

TEST_F(Window, ASecondPressBringsItBackWithoutRefillingAndAfterCloseBuildsAFreshTree) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    HWND tree = treeOf(dialog);
    const auto before = TreeView_GetCount(tree);
    web->addFile(*web->root.Get(), L"new.htm", L"htm");
    SetForegroundWindow(editor);
    pumpFor(100);

    EXPECT_EQ(press(), dialog) << "the same window";
    EXPECT_EQ(TreeView_GetCount(tree), before) << "no refill";
    EXPECT_EQ(GetForegroundWindow(), dialog) << "brought to the front";

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    pumpFor(100);
    EXPECT_TRUE(publishingWindows().empty());
    dialog = press();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(TreeView_GetCount(treeOf(dialog)), before + 1) << "a fresh tree";
    EXPECT_NE(findItem(treeOf(dialog), {L"http://localhost/web", L"new.htm"}), nullptr);
}

TEST_F(Window, TheNoWebMessageIsOwnedByTheEditorWhichIsDisabledMeanwhile) {
    app->activeWeb.Reset();
    MessageBoxWatcher boxes;
    EXPECT_EQ(button().click(), std::vector<HRESULT>{S_OK});
    ASSERT_EQ(boxes.boxes().size(), 1u);
    const auto& box = boxes.boxes()[0];
    EXPECT_EQ(box.text, L"You must open a Web before using Varnook.");
    EXPECT_EQ(box.title, L"Varnook");
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(box.owner, editor);
    EXPECT_FALSE(box.ownerEnabled) << "the button cannot be pressed again behind the box";
    EXPECT_TRUE(IsWindowEnabled(editor)) << "and usable again after it";
    EXPECT_TRUE(publishingWindows().empty());
}

TEST_F(Window, AFailureThatEndsAnEventIsShownInABoxOwnedByTheWindow) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    HWND tree = treeOf(dialog);

    // The web cannot locate the item: the choice ends there, the window says so and stays usable.
    const HRESULT refused = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1004);
    web->failNext(L"LocateFile", refused);
    {
        MessageBoxWatcher boxes;
        rightClick(tree, findItem(tree, {L"http://localhost/web", L"about.htm"}), Answer::Choose);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].title, L"Varnook");
        EXPECT_EQ(boxes.boxes()[0].owner, dialog);
        EXPECT_FALSE(boxes.boxes()[0].text.empty());
    }
    EXPECT_EQ(publishingWindows().size(), 1u);

    // The editor refuses the write: the choice still runs to its end, then says what was not written.
    propertiesOf(L"http://localhost/web/index.htm").failNext(L"Add", refused);
    {
        MessageBoxWatcher boxes;
        rightClick(tree, findItem(tree, {L"http://localhost/web", L"index.htm"}), Answer::Choose);
        ASSERT_EQ(boxes.boxes().size(), 1u) << "a refused write is never silent";
        EXPECT_EQ(boxes.boxes()[0].title, L"Varnook");
        EXPECT_EQ(boxes.boxes()[0].owner, dialog);
        EXPECT_EQ(boxes.boxes()[0].text.rfind(L"could not write the mark of 1 of 1 item", 0), 0u)
            << host::automation::narrow(boxes.boxes()[0].text);
    }
    EXPECT_FALSE(isMarked(propertiesOf(L"http://localhost/web/index.htm")));
    rightClick(tree, findItem(tree, {L"http://localhost/web", L"style.css"}), Answer::Choose);
    EXPECT_TRUE(isMarked(propertiesOf(L"http://localhost/web/style.css"))) << "the window is still usable";

    // A failed load: the box, then no window at all, and the press fails to the editor.
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    pumpFor(100);
    web->fileAt(L"http://localhost/web/about.htm")->failNext(L"Extension", refused);
    {
        MessageBoxWatcher boxes;
        const auto results = button().click();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_TRUE(FAILED(results[0]));
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].title, L"Varnook");
    }
    pumpFor(100);
    EXPECT_TRUE(publishingWindows().empty()) << "no half window";
}

TEST_F(Window, TheServerStaysLoadedWhileTheWindowIsOpen) {
    HWND dialog = press();
    ASSERT_NE(dialog, nullptr);
    ComPtr<IDTExtensibility2> keep = extensibility;
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    pumpFor(100);
    EXPECT_TRUE(publishingWindows().empty());
    EXPECT_FALSE(IsWindow(dialog));
}

} // namespace
