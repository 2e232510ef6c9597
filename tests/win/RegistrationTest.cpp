// Registration: the key layout written into keys of the test's own, the fallback to the current user, the
// rollback of a failed registration, and the real DLL registered and unregistered with regsvr32.

#include "addin/com/Registration.h"

#include "WinSupport.h"
#include "host/Failure.h"
#include "host/automation/Com.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>

namespace {

using namespace winsupport;
using addin::com::RegistrationPlan;
using addin::com::Scope;
using host::automation::UniqueHkey;

const std::wstring Clsid = L"{F3FD10DA-E249-4A6A-96DD-E668F4E75EBB}";
const std::wstring LibId = L"{812F99B8-A02C-446E-8884-5F17570A54A0}";
const std::wstring ConnectIid = L"{E86BCA65-1BA2-4E53-9374-16FDFE239AF5}";
const std::wstring ExtensibilityIid = L"{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}";
const std::wstring ApplicationIid = L"{04DF1014-7007-11D1-83BC-006097ABE675}";
const std::wstring AddinKey = L"Software\\Microsoft\\Office\\FrontPage\\Addins\\Varnook3.Connect";
const std::wstring TestRoot = L"Software\\VarnookTests";

std::vector<std::pair<std::wstring, std::wstring>> expectedClassLayout(const std::wstring& path) {
    return {
        {L"CLSID\\" + Clsid + L"\\InprocServer32|", path},
        {L"CLSID\\" + Clsid + L"\\InprocServer32|ThreadingModel", L"Apartment"},
        {L"CLSID\\" + Clsid + L"\\ProgID|", L"Varnook3.Connect"},
        {L"CLSID\\" + Clsid + L"\\TypeLib|", LibId},
        {L"CLSID\\" + Clsid + L"\\Version|", L"1.0"},
        {L"CLSID\\" + Clsid + L"|", L"Varnook3.Connect"},
        {L"Varnook3.Connect\\CLSID|", Clsid},
        {L"Varnook3.Connect|", L"Varnook3.Connect"},
    };
}

class RegistrationLayout : public testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, TestRoot.c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, TestRoot.c_str()); }

    static UniqueHkey create(const std::wstring& path, DWORD options = REG_OPTION_NON_VOLATILE,
                             REGSAM access = KEY_ALL_ACCESS) {
        UniqueHkey key;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, options, access, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS)
            << "creating " << host::automation::narrow(path);
        return key;
    }

    RegistrationPlan plan() const {
        RegistrationPlan p;
        p.modulePath = L"C:\\Program Files\\Talvo\\Varnook3.dll";
        p.allUsersClasses = {HKEY_CURRENT_USER, TestRoot + L"\\Machine\\Classes"};
        p.currentUserClasses = {HKEY_CURRENT_USER, TestRoot + L"\\User\\Classes"};
        p.addins = {HKEY_CURRENT_USER, TestRoot + L"\\Addins"};
        p.typeLibrary = false;
        return p;
    }
};

TEST_F(RegistrationLayout, ClassKeysUnderAGivenRootAreExactlyTheLayout) {
    auto root = create(TestRoot + L"\\Classes");
    addin::com::writeClassKeys(root.get(), L"D:\\addins\\Varnook3.dll");
    const auto expected = expectedClassLayout(L"D:\\addins\\Varnook3.dll");
    auto sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(readTextTree(HKEY_CURRENT_USER, TestRoot + L"\\Classes"), sorted);

    addin::com::removeClassKeys(root.get());
    EXPECT_TRUE(readTextTree(HKEY_CURRENT_USER, TestRoot + L"\\Classes").empty());
    EXPECT_FALSE(keyExists(root.get(), L"CLSID\\" + Clsid));
    EXPECT_FALSE(keyExists(root.get(), L"Varnook3.Connect"));
    // Removing what is not there is no failure.
    addin::com::removeClassKeys(root.get());
}

TEST_F(RegistrationLayout, RegistersForAllUsersThenRemovesEverything) {
    const RegistrationPlan p = plan();
    EXPECT_EQ(addin::com::registerServer(p), Scope::AllUsers);
    auto expected = expectedClassLayout(p.modulePath);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(readTextTree(HKEY_CURRENT_USER, p.allUsersClasses.path), expected);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, p.currentUserClasses.path + L"\\CLSID"));
    const auto load = readValue(HKEY_CURRENT_USER, p.addins.path + L"\\Varnook3.Connect", L"LoadBehavior");
    ASSERT_TRUE(load);
    EXPECT_EQ(load->number, 3u);

    addin::com::unregisterServer(p);
    EXPECT_TRUE(readTextTree(HKEY_CURRENT_USER, p.allUsersClasses.path).empty());
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, p.addins.path + L"\\Varnook3.Connect"));
    addin::com::unregisterServer(p);
}

TEST(RegistrationScope, WhereAllUsersIsRefusedTheCurrentUserIsWritten) {
    // Wine grants every registry write, so the refusal a user without administrator rights meets on
    // Windows is the writer's answer here.
    for (HRESULT refusal : {E_ACCESSDENIED, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)}) {
        std::vector<Scope> tried;
        const Scope chosen = addin::com::writeForWidestScope([&](Scope s) {
            tried.push_back(s);
            if (s == Scope::AllUsers)
                throw host::Failure(static_cast<std::int32_t>(refusal), "refused");
        });
        EXPECT_EQ(chosen, Scope::CurrentUser);
        EXPECT_EQ(tried, (std::vector<Scope>{Scope::AllUsers, Scope::CurrentUser}));
    }

    std::vector<Scope> tried;
    EXPECT_EQ(addin::com::writeForWidestScope([&](Scope s) { tried.push_back(s); }), Scope::AllUsers);
    EXPECT_EQ(tried, std::vector<Scope>{Scope::AllUsers});

    tried.clear();
    try {
        addin::com::writeForWidestScope([&](Scope s) {
            tried.push_back(s);
            throw host::Failure(static_cast<std::int32_t>(E_OUTOFMEMORY), "not a refusal");
        });
        FAIL() << "only a refusal falls back";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(), static_cast<std::int32_t>(E_OUTOFMEMORY));
    }
    EXPECT_EQ(tried, std::vector<Scope>{Scope::AllUsers});
}

TEST_F(RegistrationLayout, ThePerUserRootGetsTheSameLayout) {
    // What the fallback writes: the one layout under HKCU\Software\Classes (here a key of the test's).
    auto root = create(TestRoot + L"\\User\\Classes");
    addin::com::writeClassKeys(root.get(), L"C:\\Users\\pat\\Varnook3.dll");
    auto expected = expectedClassLayout(L"C:\\Users\\pat\\Varnook3.dll");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(readTextTree(HKEY_CURRENT_USER, TestRoot + L"\\User\\Classes"), expected);
}

TEST_F(RegistrationLayout, AFailedStepLeavesNothingBehind) {
    RegistrationPlan p = plan();
    // A non-volatile key cannot be made under a volatile one: the add-in entry, the last step, fails.
    create(TestRoot + L"\\Volatile", REG_OPTION_VOLATILE);
    p.addins = {HKEY_CURRENT_USER, TestRoot + L"\\Volatile\\Addins"};
    try {
        addin::com::registerServer(p);
        FAIL() << "the add-in entry cannot be written";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(),
                  static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE)));
    }
    EXPECT_TRUE(readTextTree(HKEY_CURRENT_USER, p.allUsersClasses.path).empty());
    EXPECT_TRUE(readTextTree(HKEY_CURRENT_USER, p.currentUserClasses.path).empty());
}

TEST_F(RegistrationLayout, OnlyARefusalFallsBackToTheCurrentUser) {
    RegistrationPlan p = plan();
    create(TestRoot + L"\\Volatile", REG_OPTION_VOLATILE);
    p.allUsersClasses = {HKEY_CURRENT_USER, TestRoot + L"\\Volatile\\Classes"};
    EXPECT_THROW(addin::com::registerServer(p), host::Failure);
    EXPECT_TRUE(readTextTree(HKEY_CURRENT_USER, p.currentUserClasses.path).empty());
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, p.addins.path + L"\\Varnook3.Connect"));
}

// The real DLL through regsvr32, as an installer or a user runs it.
class RegistrationRegsvr32 : public testing::Test {
  protected:
    static constexpr const wchar_t* MarkerLib = L"{AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}";

    void SetUp() override {
        // The add-in designer's own registration of IDTExtensibility2, as a machine with Office has it.
        UniqueHkey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT,
                                  (L"Interface\\" + ExtensibilityIid + L"\\TypeLib").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(MarkerLib),
                       static_cast<DWORD>((wcslen(MarkerLib) + 1) * sizeof(wchar_t)));
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"Interface\\" + ApplicationIid).c_str());
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"Interface\\" + ExtensibilityIid).c_str());
        run(L"regsvr32 /s /u \"" + dllPath() + L"\"");
    }
};

TEST_F(RegistrationRegsvr32, RegistersTheClassTheTypeLibraryAndTheAddin) {
    ASSERT_EQ(run(L"regsvr32 /s \"" + dllPath() + L"\""), 0u);

    const std::wstring cls = L"CLSID\\" + Clsid;
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, cls), L"Varnook3.Connect");
    const auto server = readText(HKEY_CLASSES_ROOT, cls + L"\\InprocServer32");
    ASSERT_TRUE(server);
    EXPECT_TRUE(samePath(*server, dllPath())) << host::automation::narrow(*server);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, cls + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, cls + L"\\ProgID"), L"Varnook3.Connect");
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, cls + L"\\TypeLib"), LibId);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, cls + L"\\Version"), L"1.0");
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, L"Varnook3.Connect\\CLSID"), Clsid);

    CLSID fromProgId{};
    ASSERT_EQ(CLSIDFromProgID(L"Varnook3.Connect", &fromProgId), S_OK);
    CLSID expected{};
    CLSIDFromString(Clsid.c_str(), &expected);
    EXPECT_TRUE(IsEqualCLSID(fromProgId, expected));

    // The type library, registered through the platform: found by its identifier, describing _Connect.
    GUID lib{};
    CLSIDFromString(LibId.c_str(), &lib);
    host::automation::Bstr libraryPath;
    ASSERT_EQ(QueryPathOfRegTypeLib(lib, 1, 0, 0, libraryPath.put()), S_OK);
    EXPECT_TRUE(samePath(std::wstring(libraryPath.view()), dllPath()));
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, L"Interface\\" + ConnectIid + L"\\TypeLib"), LibId);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, L"Interface\\" + ConnectIid + L"\\ProxyStubClsid32"),
              L"{00020424-0000-0000-C000-000000000046}");
    // Interfaces other libraries own are left as they were.
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, L"Interface\\" + ExtensibilityIid + L"\\TypeLib"), MarkerLib);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + ApplicationIid));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + ApplicationIid, KEY_WOW64_32KEY));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + ExtensibilityIid, KEY_WOW64_32KEY));

    const auto friendly = readValue(HKEY_CURRENT_USER, AddinKey, L"FriendlyName");
    const auto description = readValue(HKEY_CURRENT_USER, AddinKey, L"Description");
    const auto load = readValue(HKEY_CURRENT_USER, AddinKey, L"LoadBehavior");
    const auto commandLine = readValue(HKEY_CURRENT_USER, AddinKey, L"CommandLineSafe");
    ASSERT_TRUE(friendly && description && load && commandLine);
    EXPECT_EQ(friendly->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(friendly->text, L"Talvo Varnook 3.0");
    EXPECT_EQ(description->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(description->text, L"Varnook 3.0 FrontPage Add-in");
    EXPECT_EQ(load->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(load->number, 3u);
    EXPECT_EQ(commandLine->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(commandLine->number, 0u);
}

TEST_F(RegistrationRegsvr32, UnregisteringRemovesEveryKeyAndMayBeRepeated) {
    ASSERT_EQ(run(L"regsvr32 /s \"" + dllPath() + L"\""), 0u);
    ASSERT_EQ(run(L"regsvr32 /s /u \"" + dllPath() + L"\""), 0u);

    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"CLSID\\" + Clsid));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Varnook3.Connect"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + LibId));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + ConnectIid));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, AddinKey));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + Clsid));
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, L"Interface\\" + ExtensibilityIid + L"\\TypeLib"), MarkerLib);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"Interface\\" + ConnectIid, KEY_WOW64_32KEY));
    CLSID none{};
    EXPECT_NE(CLSIDFromProgID(L"Varnook3.Connect", &none), S_OK);

    EXPECT_EQ(run(L"regsvr32 /s /u \"" + dllPath() + L"\""), 0u);
}

} // namespace
