#include "UiDriver.h"

namespace uidriver {

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)),
                                  QS_ALLINPUT);
    }
}

void pumpFor(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

namespace {

// Runs `work` on a thread of its own; the destructor waits for it.
class Background {
  public:
    explicit Background(std::function<void()> work) : work_(std::move(work)) {
        thread_ = CreateThread(nullptr, 0, run, this, 0, nullptr);
    }
    ~Background() {
        if (thread_ != nullptr) {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
        }
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool done() const { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }

  private:
    static DWORD WINAPI run(void* self) {
        static_cast<Background*>(self)->work_();
        return 0;
    }
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
};

} // namespace

std::vector<HWND> dialogsTitled(const wchar_t* caption) {
    struct Search {
        const wchar_t* caption;
        std::vector<HWND> found;
    } search{caption, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM context) {
            auto& s = *reinterpret_cast<Search*>(context);
            wchar_t cls[64] = {}, title[256] = {};
            GetClassNameW(w, cls, 64);
            GetWindowTextW(w, title, 256);
            if (lstrcmpW(cls, L"#32770") == 0 && lstrcmpW(title, s.caption) == 0)
                s.found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool asUser(const std::function<void()>& work, DWORD timeoutMs) {
    Background user(work);
    const bool finished = pumpUntil([&] { return user.done(); }, timeoutMs);
    pumpFor(100);
    return finished;
}

HWND waitForWindow(const std::function<HWND()>& found, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND w = found())
            return w;
        if (GetTickCount64() >= end)
            return nullptr;
        Sleep(20);
    }
}

namespace {

void sendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void sendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (key == VK_APPS)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    SendInput(1, &input, sizeof input);
}

} // namespace

void rightClickAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    Sleep(50);
    sendMouse(MOUSEEVENTF_RIGHTDOWN);
    Sleep(50);
    sendMouse(MOUSEEVENTF_RIGHTUP);
}

void leftClickAt(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    Sleep(50);
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    sendMouse(MOUSEEVENTF_LEFTUP);
}

void pressKey(WORD key, const std::vector<WORD>& modifiers) {
    for (WORD m : modifiers)
        sendKey(m, false);
    sendKey(key, false);
    Sleep(20);
    sendKey(key, true);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it)
        sendKey(*it, true);
    Sleep(50);
}

HWND visibleMenuWindow() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

std::vector<MenuItem> menuItems(HWND menuWindow) {
    std::vector<MenuItem> items;
    constexpr UINT GetHMenu = 0x01E1; // MN_GETHMENU
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, GetHMenu, 0, 0));
    if (menu == nullptr)
        return items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 255;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info))
            continue;
        items.push_back({text, (info.fState & MFS_CHECKED) != 0, (info.fState & MFS_DISABLED) == 0});
    }
    return items;
}

} // namespace uidriver
