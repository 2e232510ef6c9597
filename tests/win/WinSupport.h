#pragma once

// What the Windows tests share: where the DLL is, the registry read back, processes, and the message
// boxes that appear on this thread.

#include <optional>
#include <string>
#include <vector>
#include <windows.h>

namespace winsupport {

// Varnook3.dll, built beside the test program.
std::wstring dllPath();
// The same path as the platform spells it back (for comparisons).
bool samePath(const std::wstring& a, const std::wstring& b);

struct RegValue {
    DWORD type = REG_NONE;
    std::wstring text; // REG_SZ
    DWORD number = 0;  // REG_DWORD
};
std::optional<RegValue> readValue(HKEY root, const std::wstring& key, const std::wstring& name);
std::optional<std::wstring> readText(HKEY root, const std::wstring& key, const std::wstring& name = L"");
bool keyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
// Every value below `key`, as "subkey path|value name" → REG_SZ data, for comparing whole layouts.
std::vector<std::pair<std::wstring, std::wstring>> readTextTree(HKEY root, const std::wstring& key);

// Runs a program of the prefix (e.g. regsvr32) and returns its exit code.
DWORD run(const std::wstring& commandLine);

// Message boxes shown on this thread while the watcher lives: each is read, then answered with OK.
// Other dialogs (the publishing window) are left alone.
class MessageBoxWatcher {
  public:
    struct Box {
        std::wstring title;
        std::wstring text;
        bool exclamationIcon = false;
        std::vector<int> buttons; // the command ids of the visible buttons
        HWND owner = nullptr;
        bool ownerEnabled = true; // while the box is up
        UINT icon = 0;            // MB_ICONEXCLAMATION, MB_ICONERROR, or 0 for another
    };
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    const std::vector<Box>& boxes() const;

  private:
    HHOOK hook_;
};

} // namespace winsupport
