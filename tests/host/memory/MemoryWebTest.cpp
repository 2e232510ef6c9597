#include "host/memory/MemoryWeb.h"

#include "host/Failure.h"

#include <gtest/gtest.h>

using host::Value;
using host::memory::MemoryApplication;
using host::memory::MemoryWeb;

TEST(MemoryWeb, PendingChangesBelongToTheItemNotTheCollection) {
    MemoryWeb web("C:\\Webs\\site");
    web.addFolder("docs");
    auto& file = web.addFile("docs/a.htm");
    MemoryApplication app(&web);
    auto w = app.activeWeb();

    auto item = w->locate("C:\\Webs\\site\\docs\\a.htm");
    ASSERT_NE(item, nullptr);
    item->properties()->set("vti_donotpublish", Value::boolean(true));
    EXPECT_FALSE(file.marked()) << "not applied yet";
    item->properties()->apply();
    EXPECT_TRUE(file.marked());

    item->properties()->remove("vti_donotpublish");
    EXPECT_THROW(item->properties()->remove("vti_donotpublish"), host::Failure) << "already removed";
    item->properties()->apply();
    EXPECT_FALSE(file.marked());
    EXPECT_THROW(item->properties()->remove("vti_donotpublish"), host::Failure);
}

TEST(MemoryWeb, LocateFindsFilesAndFoldersWithEitherSeparator) {
    MemoryWeb web("C:\\Webs\\site");
    web.addFolder("docs");
    web.addFile("docs/a.htm");
    auto& hidden = web.addFile("docs/b.htm");
    hidden.hiddenFromLocate = true;
    MemoryApplication app(&web);
    auto w = app.activeWeb();
    EXPECT_NE(w->locate("C:/Webs/site/docs"), nullptr);
    EXPECT_NE(w->locate("C:\\Webs\\site"), nullptr);
    EXPECT_EQ(w->locate("C:\\Webs\\site\\docs\\b.htm"), nullptr);
    EXPECT_EQ(w->locate("C:\\Webs\\site\\docs\\A.htm"), nullptr);
    EXPECT_EQ(w->locate("C:\\Webs\\sitex"), nullptr);
    w->locate("C:\\Webs\\site\\docs");
    web.failOperation("Web.locate", "C:\\Webs\\site\\docs");
    EXPECT_THROW(w->locate("C:\\Webs\\site\\docs"), host::Failure);
    EXPECT_NE(w->locate("C:\\Webs\\site\\docs\\a.htm"), nullptr) << "a fault names its subject";
}
