// A small stand-in for the editor that opens the real publishing window of Varnook3.dll over a web
// like the bundled sample web, for a person to look at (scripts/screenshot.sh) and to time the load
// of a large web:
//
//   win-demo.exe                 the window over the sample-like web, one folder expanded; prints
//                                "READY left top right bottom" (the window on screen) and stays up for
//                                a minute or until the window is closed
//   win-demo.exe --nodes N       a web of N files (20 per folder); prints the times the button took to
//                                load and show the window (three times, the window closed in between)
//                                beside those of the same fill without a window, then closes it
//   ... --folder M               the same web with one more folder of M files, the web's largest: also
//                                times marking it with the window open, expanding it, and publishing it
//                                again while expanded, beside the same marking without a window

#include "AddinIdentity.h"
#include "TestHost.h"
#include "UiDriver.h"
#include "Varnook3.h"
#include "host/GlobalApplication.h"
#include "host/automation/Com.h"
#include "host/automation/WebObjects.h"
#include "marking/PublishMarking.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"

#include <algorithm>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <objbase.h>
#include <string>
#include <vector>

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

const wchar_t* const LargeWebUrl = L"http://localhost/large";
const wchar_t* const LargestFolder = L"largest";

ComPtr<Web> largeWeb(int files, int largestFolderFiles) {
    auto web = make<Web>(LargeWebUrl);
    Folder& root = *web->root.Get();
    for (int folder = 0; folder * 20 < files; ++folder) {
        Folder& f = web->addFolder(root, L"folder" + std::to_wstring(folder));
        for (int i = 0; i < 20 && folder * 20 + i < files; ++i) {
            File& file = web->addFile(f, L"page" + std::to_wstring(i) + L".htm", L"htm");
            if (i % 3 == 0)
                markItem(*file.properties.Get());
        }
    }
    if (largestFolderFiles > 0) {
        Folder& f = web->addFolder(root, LargestFolder);
        for (int i = 0; i < largestFolderFiles; ++i)
            web->addFile(f, L"item" + std::to_wstring(i) + L".htm", L"htm");
    }
    return web;
}

double millisecondsOf(const std::function<void()>& work) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The window's marking without a window: the model, the marking rules and the writes through the
// editor's object model, whose menu always answers "Don't Publish".
class HeadlessMarking : public marking::PublishMarking {
  public:
    using PublishMarking::PublishMarking;

  protected:
    bool popUpMenu(float, float) override { return true; }
};

int imageOfItem(HWND tree, HTREEITEM h) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_IMAGE;
    item.hItem = h;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

// The selected item's context menu asked for by its key, as a person at the keyboard does; the keys
// that answer it are waiting in the queue, so the time is that of the whole choice.
double chooseFromContextMenu(HWND tree, bool dontPublish) {
    if (dontPublish) {
        PostMessageW(tree, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(tree, WM_KEYDOWN, VK_RETURN, 0);
    } else {
        PostMessageW(tree, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    return millisecondsOf([&] { SendMessageW(tree, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), -1); });
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

// Marking the web's largest folder and publishing it again, each the best of a few rounds: without a
// window, then in the window with the folder folded, then expanding it there, then with it expanded.
int timeLargestFolder(Application& app, HWND tree) {
    constexpr int Rounds = 3;
    const std::wstring url = std::wstring(LargeWebUrl) + L"/" + LargestFolder;
    Properties& folderProperties = *app.activeWeb->folderAt(url)->properties.Get();
    struct Best {
        double mark = 1e30, publish = 1e30;
    };
    auto fail = [](const char* what) {
        std::fprintf(stderr, "win-demo: %s\n", what);
        return 1;
    };

    Best headless;
    {
        auto application = host::automation::makeApplication(ComPtr<IDispatch>(&app));
        host::GlobalApplication global(*application);
        host::TreeModel model(window::imageKeyList());
        webtree::Fill(*application, model);
        HeadlessMarking marking(global, model);
        model.select(model.find(host::automation::narrow(url)));
        for (int round = 0; round < Rounds; ++round) {
            headless.mark =
                std::min(headless.mark, millisecondsOf([&] { marking.tvwWeb_MouseUp(2, 0, 0, 0); }));
            if (!isMarked(folderProperties))
                return fail("the marking without a window did not mark the folder");
            headless.publish =
                std::min(headless.publish, millisecondsOf([&] { marking.tvwWeb_MouseUp(2, 0, 0, 0); }));
            if (isMarked(folderProperties))
                return fail("the marking without a window did not publish the folder");
        }
    }

    HTREEITEM folder = childNamed(tree, TreeView_GetRoot(tree), LargestFolder);
    if (folder == nullptr)
        return fail("the window does not show the largest folder");
    TreeView_SelectItem(tree, folder);
    const int published = imageOfItem(tree, folder);
    auto inWindow = [&] {
        Best best;
        for (int round = 0; round < Rounds; ++round) {
            best.mark = std::min(best.mark, chooseFromContextMenu(tree, true));
            if (!isMarked(folderProperties) || imageOfItem(tree, folder) == published)
                return false;
            best.publish = std::min(best.publish, chooseFromContextMenu(tree, true));
            if (isMarked(folderProperties) || imageOfItem(tree, folder) != published)
                return false;
        }
        std::printf("marking the largest folder took %.0f ms, publishing it again %.0f ms (best of %d)\n",
                    best.mark, best.publish, Rounds);
        return true;
    };

    std::printf(
        "without a window: marking the largest folder took %.0f ms, publishing it again %.0f ms (best "
        "of %d)\n",
        headless.mark, headless.publish, Rounds);
    std::printf("in the window, the menu alone (dismissed) took %.0f ms\n",
                chooseFromContextMenu(tree, false));
    std::printf("in the window, folded: ");
    if (!inWindow())
        return fail("the window did not mark and publish the folded folder");
    const unsigned before = TreeView_GetCount(tree);
    const double expand = millisecondsOf([&] { TreeView_Expand(tree, folder, TVE_EXPAND); });
    std::printf("expanding it in the window took %.0f ms (%u items went into the control)\n", expand,
                TreeView_GetCount(tree) - before);
    std::printf("in the window, expanded: ");
    if (!inWindow())
        return fail("the window did not mark and publish the expanded folder");
    return 0;
}

int run(int nodes, int largestFolderFiles) {
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
    app->activeWeb = nodes > 0 ? largeWeb(nodes, largestFolderFiles) : sampleLikeWeb();

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

    // A large web is opened a few times, each time after closing the window, and filled as often without
    // a window: the machine may be busy with other work, and the best of each is the fairest comparison.
    const int rounds = nodes > 0 ? 3 : 1;
    std::vector<double> presses, fills;
    HWND dialog = nullptr;
    std::size_t nodeCount = 0;
    for (int round = 0; round < rounds; ++round) {
        if (dialog != nullptr)
            SendMessageW(dialog, WM_CLOSE, 0, 0);
        std::vector<HRESULT> results;
        presses.push_back(millisecondsOf([&] { results = button.click(); }));
        const auto windows = uidriver::dialogsTitled(L"Varnook 3.0");
        dialog = windows.size() == 1 ? windows[0] : nullptr;
        if (results.size() != 1 || FAILED(results[0]) || dialog == nullptr) {
            std::fprintf(stderr, "win-demo: the button did not open the window\n");
            return 1;
        }
        if (nodes > 0) {
            // The same fill without a window: what the editor's object model costs on its own.
            auto application = host::automation::makeApplication(ComPtr<IDispatch>(app.Get()));
            host::TreeModel model(window::imageKeyList());
            fills.push_back(millisecondsOf([&] { webtree::Fill(*application, model); }));
            nodeCount = model.count();
        }
    }
    HWND tree = FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
    int status = 0;

    if (nodes > 0) {
        auto list = [](const std::vector<double>& times) {
            std::string out;
            for (double t : times)
                out += (out.empty() ? "" : ", ") + std::to_string(static_cast<long>(t + 0.5));
            return out;
        };
        const double press = *std::min_element(presses.begin(), presses.end());
        const double fill = *std::min_element(fills.begin(), fills.end());
        std::printf(
            "the button showed the window on %zu nodes in %s ms (its tree control holds %u); the fill alone "
            "(no window) took %s ms; best %.0f ms against %.0f ms: %.2f times the fill\n",
            nodeCount, list(presses).c_str(), TreeView_GetCount(tree), list(fills).c_str(), press, fill,
            press / fill);
        status = largestFolderFiles > 0 ? timeLargestFolder(*app.Get(), tree) : 0;
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
    return status;
}

} // namespace

int main(int argc, char** argv) {
    int nodes = 0, largestFolderFiles = 0;
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::printf("usage: win-demo.exe [--nodes N [--folder M]]\n"
                    "  no option: the window over a small web, for a person to look at\n"
                    "  --nodes N: time opening the window on a web of N files (20 per folder), three times,\n"
                    "             and the same fill without a window\n"
                    "  --folder M: and one more folder of M files: time marking it, expanding it and\n"
                    "              publishing it again in the window, and marking it without a window\n");
        return 0;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--nodes")
            nodes = std::atoi(argv[i + 1]);
        else if (std::string(argv[i]) == "--folder")
            largestFolderFiles = std::atoi(argv[i + 1]);
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    const int status = run(nodes, largestFolderFiles);
    CoUninitialize();
    return status;
}
