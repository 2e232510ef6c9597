#include "app/terminal/Text.h"

#include "app/terminal/Glyphs.h"
#include "app/terminal/LineEdit.h"
#include "webtree/NodeImages.h"
#include "window/ImageKeys.h"

#include <clocale>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

using namespace terminal;
using ::testing::ElementsAre;

namespace {

// Widths come from the locale, as on the user's terminal.
struct Utf8Locale : ::testing::Test {
    void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
};

} // namespace

using Utf8Text = Utf8Locale;

TEST_F(Utf8Text, BadBytesBecomeReplacementCharactersAndGoodOnesRoundTrip) {
    EXPECT_EQ(decodeUtf8("a\xFF"
                         "b"),
              U"a\uFFFD"
              "b");
    EXPECT_EQ(decodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD") << "an overlong '/' must not pass for one";
    EXPECT_EQ(decodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD") << "a surrogate is not a character";
    EXPECT_EQ(decodeUtf8("\xE2\x9C"), U"\uFFFD\uFFFD") << "a sequence cut short at the end";
    const std::string mixed = "caf\u00E9 \u6F22\u5B57 \U0001F600 \u2713";
    EXPECT_EQ(encodeUtf8(decodeUtf8(mixed)), mixed);
}

TEST_F(Utf8Text, WidthsCountTerminalColumns) {
    EXPECT_EQ(textWidth("abc"), 3);
    EXPECT_EQ(textWidth("\u6F22\u5B57"), 4) << "wide characters take two columns";
    EXPECT_EQ(textWidth("e\u0301"), 1) << "a combining accent takes none";
    EXPECT_EQ(textWidth("a\tb"), 3) << "a control character is drawn as one '?'";
}

TEST_F(Utf8Text, PrintableNeverPassesControlsAndFallsBackToAscii) {
    EXPECT_EQ(printable("a\x1B[2Jb\x7F", true), "a?[2Jb?")
        << "an escape in a name must not reach the terminal";
    EXPECT_EQ(printable("caf\u00E9 \u2713", false), "caf? ?");
    EXPECT_EQ(printable("caf\u00E9", true), "caf\u00E9");
    EXPECT_EQ(printable("\u0301x", true), "?x") << "a combining mark cannot start a cell";
    EXPECT_EQ(printable("\xFF", true), "\uFFFD");
}

TEST_F(Utf8Text, FitWidthCutsWithEllipsisAndNeverSplitsAWideCharacter) {
    EXPECT_EQ(fitWidth("index.htm", 20, "\u2026"), "index.htm");
    EXPECT_EQ(fitWidth("index.htm", 6, "\u2026"), "index\u2026");
    EXPECT_EQ(fitWidth("\u6F22\u5B57\u6F22", 4, ""), "\u6F22\u5B57");
    EXPECT_EQ(fitWidth("\u6F22\u5B57\u6F22", 3, ""), "\u6F22") << "half a wide character is dropped";
    EXPECT_EQ(fitWidth("abc", 0, "\u2026"), "");
    EXPECT_EQ(fitWidth("abcdef", 1, "..."), "a") << "an ellipsis wider than the room is left out";
}

TEST_F(Utf8Text, FitWidthKeepingEndKeepsTheLastColumns) {
    EXPECT_EQ(fitWidthKeepingEnd("/tmp/web", 20, "\u2026"), "/tmp/web");
    EXPECT_EQ(fitWidthKeepingEnd("/home/pat/sites/shop", 8, "\u2026"), "\u2026es/shop");
    EXPECT_EQ(fitWidthKeepingEnd("\u6F22\u5B57\u6F22", 3, ""), "\u6F22")
        << "half a wide character is dropped";
    EXPECT_EQ(fitWidthKeepingEnd("abcdef", 2, "..."), "ef");
    EXPECT_EQ(fitWidthKeepingEnd("abc", 0, "\u2026"), "");
}

TEST_F(Utf8Text, WrapBreaksBetweenWordsAndCutsAWordTooLongForALine) {
    EXPECT_THAT(wrapWords("Right-click a file to mark it", 14),
                ElementsAre("Right-click a", "file to mark", "it"));
    EXPECT_THAT(wrapWords("  two   spaces ", 40), ElementsAre("two spaces"));
    EXPECT_THAT(wrapWords("abcdefghij xy", 4), ElementsAre("abcd", "xy"));
    EXPECT_THAT(wrapWords("", 10), ElementsAre(""));
    EXPECT_TRUE(wrapWords("abc", 0).empty());
    for (const auto& line : wrapWords("Right-click a folder to mark whether or not to publish all files", 9))
        EXPECT_LE(textWidth(line), 9) << line;
}

TEST_F(Utf8Text, CaptionsLoseTheirAmpersandAndKeepTheAccelerator) {
    const Caption file = parseCaption("&File");
    EXPECT_EQ(file.text, "File");
    EXPECT_EQ(file.accelColumn, 0);
    EXPECT_EQ(file.accel, U'f');

    const Caption exit = parseCaption("E&xit");
    EXPECT_EQ(exit.text, "Exit");
    EXPECT_EQ(exit.accelColumn, 1);
    EXPECT_EQ(exit.accel, U'x');

    const Caption plain = parseCaption("Varnook 3.0...");
    EXPECT_EQ(plain.text, "Varnook 3.0...");
    EXPECT_FALSE(plain.accelColumn.has_value());
    EXPECT_EQ(plain.accel, 0u);

    const Caption doubled = parseCaption("Save && &Quit");
    EXPECT_EQ(doubled.text, "Save & Quit");
    EXPECT_EQ(doubled.accelColumn, 7);
    EXPECT_EQ(doubled.accel, U'q');

    EXPECT_EQ(parseCaption("Trailing&").text, "Trailing&");
    EXPECT_EQ(parseCaption("\u6F22&Tools").accelColumn, 2) << "columns, not characters, before the letter";
}

using LineEditing = Utf8Locale;

TEST_F(LineEditing, EditsAtTheCursor) {
    LineEdit e("/srv/web");
    EXPECT_EQ(e.cursor(), 8u);
    e.home();
    e.insert(U'~');
    e.right();
    e.erase(); // the "s"
    EXPECT_EQ(e.text(), "~/rv/web");
    e.end();
    e.backspace();
    EXPECT_EQ(e.text(), "~/rv/we");
    e.home();
    e.backspace(); // nothing before the cursor
    e.left();
    EXPECT_EQ(e.cursor(), 0u);
    e.end();
    e.right();
    e.erase(); // nothing under the cursor
    EXPECT_EQ(e.text(), "~/rv/we");
}

TEST_F(LineEditing, KillsTakeAPathStepOrEverythingOnOneSide) {
    LineEdit e("/home/pat/sites/shop");
    e.killWordBack();
    EXPECT_EQ(e.text(), "/home/pat/sites/");
    e.killWordBack();
    EXPECT_EQ(e.text(), "/home/pat/");
    e.left();
    e.left();
    e.killToEnd();
    EXPECT_EQ(e.text(), "/home/pa");
    e.left();
    e.killToStart();
    EXPECT_EQ(e.text(), "a");
    EXPECT_EQ(e.cursor(), 0u);
}

TEST_F(LineEditing, RefusesControlCharactersAndKeepsUnicode) {
    LineEdit e;
    for (char32_t c : std::u32string(U"a\nb\tc\x1B\x7F\u00E9\u6F22"))
        e.insert(c);
    EXPECT_EQ(e.text(), "abc\u00E9\u6F22");
    e.backspace();
    EXPECT_EQ(e.text(), "abc\u00E9") << "backspace takes a whole character, not a byte";
}

TEST_F(LineEditing, TheViewScrollsToKeepTheCursorInsideTheField) {
    LineEdit e("0123456789abcdef");
    LineEdit::View v = e.view(10);
    EXPECT_EQ(v.text, "789abcdef");
    EXPECT_EQ(v.cursorColumn, 9);
    e.home();
    v = e.view(10);
    EXPECT_EQ(v.text, "0123456789");
    EXPECT_EQ(v.cursorColumn, 0);

    LineEdit wide("\u6F22\u5B57\u6F22\u5B57"); // 8 columns
    v = wide.view(5);
    EXPECT_LE(textWidth(v.text), 5);
    EXPECT_EQ(v.cursorColumn, textWidth(v.text)) << "the cursor sits just after the shown text";
    EXPECT_LE(v.cursorColumn, 4);
}

using Glyphs = Utf8Locale;

TEST_F(Glyphs, EveryImageHasItsOwnSingleCellGlyphAndMarkedImagesShareTheirKind) {
    std::set<std::string_view> unicode, ascii;
    for (std::string_view key : window::ImageKeys) {
        const Glyph g = glyphFor(key);
        EXPECT_EQ(textWidth(g.unicode), 1) << key << ": the names must line up";
        EXPECT_EQ(printable(g.unicode, true), g.unicode) << key;
        EXPECT_EQ(g.ascii.size(), 1u) << key;
        if (webtree::hasMarkSuffix(key)) {
            const std::string base(key.substr(0, key.size() - 2));
            EXPECT_EQ(g.unicode, glyphFor(base).unicode)
                << key << ": the badge shows the mark, not the glyph";
            continue;
        }
        EXPECT_TRUE(unicode.insert(g.unicode).second) << key << " looks like another kind";
        EXPECT_TRUE(ascii.insert(g.ascii).second) << key << " looks like another kind without UTF-8";
        EXPECT_EQ(g.kind == "unknown type", key == "unknown") << key;
    }
    EXPECT_EQ(unicode.size(), 14u);
    EXPECT_EQ(glyphFor("no-such-key").kind, "unknown type");
    EXPECT_EQ(textWidth(MarkBadge), 1);
}
