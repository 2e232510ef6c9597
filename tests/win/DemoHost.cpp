// A small stand-in for the editor that opens the real publishing window of Varnook3.dll over a web
// like the bundled sample web, for a person to look at (scripts/screenshot.sh) and to time the load
// of a large web:
//
//   win-demo.exe                 the window over the sample-like web, one folder expanded; prints
//                                "READY left top right bottom" (the window on screen) and stays up for
//                                a minute or until the window is closed
//   win-demo.exe --nodes N       a web of N files (20 per folder); prints the time the button took to
//                                load and show the window, then closes it

#include "AddinIdentity.h"
#include "TestHost.h"
#include "UiDriver.h"
#include "Varnook3.h"
#include "host/automation/WebObjects.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"

#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <objbase.h>
#include <string>

namespace {

using namespace testhost;
using testwin::ConnectClass;
using testwin::ExtensibilityIid;

ComPtr<Web> sampleLikeWeb() {
    auto web = make<Web>(L"http://localhost/sample-web");
    Folder& root = *web->root.Get();
    Folder& archive = web->addFolder(root, L"archive");
    markItem(*web->addFile(archive, L"2019.htm", L"htm").properties.Get());
    markItem(*web->addFile(archive, L"2020.htm", L"htm").properties.Get());
    Folder& images = web->addFolder(root, L"images");
    web->addFile(images, L"banner.jpg", L"jpg");
    web->addFile(images, L"logo.gif", L"gif");
    markItem(*web->addFile(images, L"mock-up.png", L"png").properties.Get());
    web->addFile(images, L"intro.wmv", L"wmv");
    Folder& secret = web->addFolder(root, L"private");
    markItem(*web->addFile(secret, L"newsletter-draft.html", L"html").properties.Get());
    markItem(*web->addFile(secret, L"notes.txt", L"txt").properties.Get());
    Folder& products = web->addFolder(root, L"products");
    web->addFile(products, L"catalog.xml", L"xml");
    web->addFile(products, L"order.asp", L"asp");
    web->addFile(root, L"index.htm", L"htm");
    web->addFile(root, L"about.htm", L"htm");
    web->addFile(root, L"contact.htm", L"htm");
    web->addFile(root, L"menu.js", L"js");
    markItem(*web->addFile(root, L"todo.txt", L"txt").properties.Get());
    web->addFile(root, L"style.css", L"css");
    web->homePage = web->url + L"/index.htm";
    return web;
}

ComPtr<Web> largeWeb(int files) {
    auto web = make<Web>(L"http://localhost/large");
    Folder& root = *web->root.Get();
    for (int folder = 0; folder * 20 < files; ++folder) {
        Folder& f = web->addFolder(root, L"folder" + std::to_wstring(folder));
        for (int i = 0; i < 20 && folder * 20 + i < files; ++i) {
            File& file = web->addFile(f, L"page" + std::to_wstring(i) + L".htm", L"htm");
            if (i % 3 == 0)
                markItem(*file.properties.Get());
        }
    }
    return web;
}

HTREEITEM childNamed(HWND tree, HTREEITEM parent, const wchar_t* name) {
    for (HTREEITEM h = TreeView_GetChild(tree, parent); h != nullptr; h = TreeView_GetNextSibling(tree, h)) {
        wchar_t text[256] = {};
        TVITEMW item{};
        item.mask = TVIF_HANDLE | TVIF_TEXT;
        item.hItem = h;
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (lstrcmpW(text, name) == 0)
            return h;
    }
    return nullptr;
}

int run(int nodes) {
    using DllGetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    HMODULE dll = LoadLibraryW(L"Varnook3.dll");
    if (dll == nullptr) {
        std::fprintf(stderr, "win-demo: cannot load Varnook3.dll\n");
        return 1;
    }
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllGetClassObject")));

    ComPtr<Application> app = make<Application>();
    ApplicationClass appClass(app);
    app->activeWeb = nodes > 0 ? largeWeb(nodes) : sampleLikeWeb();

    ComPtr<IClassFactory> factory;
    ComPtr<IDTExtensibility2> addin;
    if (FAILED(getClassObject(ConnectClass, IID_IClassFactory,
                              reinterpret_cast<void**>(factory.GetAddressOf()))) ||
        FAILED(factory->CreateInstance(nullptr, ExtensibilityIid,
                                       reinterpret_cast<void**>(addin.GetAddressOf())))) {
        std::fprintf(stderr, "win-demo: cannot create the add-in\n");
        return 1;
    }
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    if (FAILED(addin->OnConnection(app.Get(), ext_cm_AfterStartup, nullptr, &custom))) {
        std::fprintf(stderr, "win-demo: the add-in did not connect\n");
        return 1;
    }
    Control& button = *app->commandBars->tools().child(L"Talvo")->children.at(0).Get();

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const auto results = button.click();
    QueryPerformanceCounter(&end);
    const auto windows = uidriver::dialogsTitled(L"Varnook 3.0");
    HWND dialog = windows.size() == 1 ? windows[0] : nullptr;
    if (results.size() != 1 || FAILED(results[0]) || dialog == nullptr) {
        std::fprintf(stderr, "win-demo: the button did not open the window\n");
        return 1;
    }
    HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
    const double ms =
        1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);

    if (nodes > 0) {
        std::printf("loaded %u nodes into the window in %.0f ms\n", TreeView_GetCount(tree), ms);
        // The same fill without a window: what the editor's object model costs on its own.
        auto application = host::automation::makeApplication(ComPtr<IDispatch>(app.Get()));
        host::TreeModel model(window::imageKeyList());
        QueryPerformanceCounter(&start);
        webtree::Fill(*application, model);
        QueryPerformanceCounter(&end);
        std::printf("the fill alone (no window) took %.0f ms\n",
                    1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        SendMessageW(dialog, WM_CLOSE, 0, 0);
    } else {
        // As a person would leave it: one folder open, a marked file selected.
        HTREEITEM root = TreeView_GetRoot(tree);
        HTREEITEM images = childNamed(tree, root, L"images");
        TreeView_Expand(tree, images, TVE_EXPAND);
        TreeView_SelectItem(tree, childNamed(tree, images, L"mock-up.png"));
        uidriver::pumpFor(500);
        RECT r{};
        GetWindowRect(dialog, &r);
        std::printf("READY %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        std::fflush(stdout);
        uidriver::pumpUntil([&] { return !IsWindow(dialog); }, 60000);
    }
    addin->OnDisconnection(ext_dm_HostShutdown, &custom);
    addin.Reset();
    factory.Reset();
    SafeArrayDestroy(custom);
    app->activeWeb.Reset();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int nodes = 0;
    if (argc == 3 && std::string(argv[1]) == "--nodes")
        nodes = std::atoi(argv[2]);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    const int status = run(nodes);
    CoUninitialize();
    return status;
}
