#include "host/Value.h"

#include "host/Failure.h"

#include <gtest/gtest.h>

using host::Value;

TEST(ValueText, ConvertsAsThePlatformDoes) {
    EXPECT_EQ(Value::boolean(true).toText(), "True");
    EXPECT_EQ(Value::boolean(false).toText(), "False");
    EXPECT_EQ(Value::empty().toText(), "");
    EXPECT_EQ(Value::number(1).toText(), "1");
    EXPECT_EQ(Value::number(-2.5).toText(), "-2.5");
    EXPECT_EQ(Value::text("true").toText(), "true");
    EXPECT_THROW(Value::null().toText(), host::Failure);
}

TEST(ValueText, EqualityWithTextIsExactAndNullNeverEquals) {
    EXPECT_TRUE(Value::boolean(true).textEquals("True"));
    EXPECT_TRUE(Value::text("True").textEquals("True"));
    EXPECT_FALSE(Value::text("true").textEquals("True"));
    EXPECT_FALSE(Value::text("TRUE").textEquals("True"));
    EXPECT_FALSE(Value::number(1).textEquals("True"));
    EXPECT_FALSE(Value::empty().textEquals("True"));
    EXPECT_FALSE(Value::null().textEquals("True"));
    EXPECT_FALSE(Value::null().textEquals(""));
}

TEST(ValueBoolean, WordsInAnyCaseAndNumbersByValue) {
    for (const char* t : {"true", "TRUE", "True", "tRuE", "1", "-1", "2.5", " 7 "})
        EXPECT_TRUE(Value::text(t).toBoolean()) << t;
    for (const char* t : {"false", "FALSE", "False", "0", "0.0"})
        EXPECT_FALSE(Value::text(t).toBoolean()) << t;
    EXPECT_TRUE(Value::number(-1).toBoolean());
    EXPECT_FALSE(Value::number(0).toBoolean());
    EXPECT_TRUE(Value::boolean(true).toBoolean());
    EXPECT_FALSE(Value::boolean(false).toBoolean());
}

TEST(ValueBoolean, EmptyAndNullAreFalse) {
    EXPECT_FALSE(Value::empty().toBoolean());
    EXPECT_FALSE(Value::null().toBoolean());
}

TEST(ValueBoolean, OtherTextFailsToConvert) {
    for (const char* t : {"", "yes", "on", "truth", "1x", "True!"}) {
        try {
            (void)Value::text(t).toBoolean();
            ADD_FAILURE() << "converted '" << t << "'";
        } catch (const host::Failure& f) {
            EXPECT_EQ(f.status(), host::status::TypeMismatch) << t;
        }
    }
}
