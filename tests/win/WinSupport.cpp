#include "WinSupport.h"

#include "host/automation/Com.h"

#include <algorithm>
#include <cwctype>

namespace winsupport {
namespace {

std::wstring folded(std::wstring s) {
    std::replace(s.begin(), s.end(), L'/', L'\\');
    std::transform(s.begin(), s.end(), s.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); });
    return s;
}

thread_local std::vector<MessageBoxWatcher::Box>* watched = nullptr;

BOOL CALLBACK collectChild(HWND child, LPARAM context) {
    auto& box = *reinterpret_cast<MessageBoxWatcher::Box*>(context);
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            if (icon != nullptr && icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32515) /* IDI_EXCLAMATION */))
                box.icon = MB_ICONEXCLAMATION;
            else if (icon != nullptr && icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32513) /* IDI_HAND */))
                box.icon = MB_ICONERROR;
            box.exclamationIcon = box.exclamationIcon || box.icon == MB_ICONEXCLAMATION;
        } else {
            wchar_t text[512] = {};
            GetWindowTextW(child, text, 512);
            if (text[0] != L'\0')
                box.text = text;
        }
    } else if (lstrcmpiW(cls, L"Button") == 0 && (GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0) {
        // Not IsWindowVisible: the box itself is not shown yet when it is activated.
        box.buttons.push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && watched != nullptr) {
        const auto window = reinterpret_cast<HWND>(wParam);
        wchar_t cls[64] = {};
        GetClassNameW(window, cls, 64);
        if (lstrcmpW(cls, L"#32770") == 0 &&
            FindWindowExW(window, nullptr, L"SysTreeView32", nullptr) == nullptr) {
            MessageBoxWatcher::Box box;
            box.owner = GetWindow(window, GW_OWNER);
            box.ownerEnabled = box.owner != nullptr && IsWindowEnabled(box.owner);
            wchar_t title[256] = {};
            GetWindowTextW(window, title, 256);
            box.title = title;
            EnumChildWindows(window, collectChild, reinterpret_cast<LPARAM>(&box));
            watched->push_back(std::move(box));
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

thread_local std::vector<MessageBoxWatcher::Box> seen;

} // namespace

std::wstring dllPath() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"Varnook3.dll";
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    return folded(a) == folded(b);
}

std::optional<RegValue> readValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    BYTE data[2048];
    DWORD size = sizeof data, type = 0;
    if (RegGetValueW(root, key.c_str(), name.empty() ? nullptr : name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                     &type, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue v;
    v.type = type;
    if (type == REG_SZ)
        v.text.assign(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t) - (size >= 2 ? 1 : 0));
    if (type == REG_DWORD)
        v.number = *reinterpret_cast<const DWORD*>(data);
    return v;
}

std::optional<std::wstring> readText(HKEY root, const std::wstring& key, const std::wstring& name) {
    auto v = readValue(root, key, name);
    if (!v || v->type != REG_SZ)
        return std::nullopt;
    return v->text;
}

bool keyExists(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

std::vector<std::pair<std::wstring, std::wstring>> readTextTree(HKEY root, const std::wstring& key) {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    host::automation::UniqueHkey h;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, h.put()) != ERROR_SUCCESS)
        return out;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumValueW(h.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        auto value = readValue(h.get(), L"", name);
        out.emplace_back(L"|" + std::wstring(name),
                         value && value->type == REG_SZ ? value->text : L"<not text>");
    }
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(h.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        for (auto& [path, data] : readTextTree(h.get(), name))
            out.emplace_back(std::wstring(name) + (path.front() == L'|' ? L"" : L"\\") + path, data);
    }
    std::sort(out.begin(), out.end());
    return out;
}

DWORD run(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return static_cast<DWORD>(-1);
    // No limit of its own: CTest's timeout ends a hung run as a whole.
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

MessageBoxWatcher::MessageBoxWatcher()
    : hook_(SetWindowsHookExW(WH_CBT, onCbt, nullptr, GetCurrentThreadId())) {
    seen.clear();
    watched = &seen;
}

MessageBoxWatcher::~MessageBoxWatcher() {
    watched = nullptr;
    if (hook_ != nullptr)
        UnhookWindowsHookEx(hook_);
}

const std::vector<MessageBoxWatcher::Box>& MessageBoxWatcher::boxes() const {
    return seen;
}

} // namespace winsupport
