#include "app/terminal/UndoHistory.h"

#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using terminal::Choice;
using terminal::choiceBetween;
using terminal::ChoiceFiles;
using terminal::FileSnapshot;
using terminal::UndoHistory;
using ::testing::HasSubstr;
using testsupport::readFile;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string Marked = "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n";
const std::string Author = "vti_encoding:SR|utf8-nl\r\nvti_author:SR|pat\r\n";
const std::string AuthorMarked =
    "vti_encoding:SR|utf8-nl\r\nvti_author:SR|pat\r\nvti_donotpublish:BW|true\r\n";

// A web: docs/a.txt (metadata with an author), docs/b.txt (no metadata), zeta.txt.
struct UndoHistoryTest : ::testing::Test {
    TempDir dir;
    fs::path web = dir.mkdir("web");
    fs::path a = dir.write("web/docs/_vti_cnf/a.txt", Author);
    fs::path b = dir / "web/docs/_vti_cnf/b.txt";
    fs::path docs = dir / "web/docs/_vti_cnf/.fp_folder_info";

    UndoHistoryTest() {
        dir.write("web/docs/a.txt", "a");
        dir.write("web/docs/b.txt", "b");
        dir.write("web/zeta.txt", "z");
    }

    std::shared_ptr<const ChoiceFiles> filesOf(const std::vector<std::string>& parts, bool folder) {
        return std::make_shared<const ChoiceFiles>(ChoiceFiles::of(app, parts, folder));
    }
    FileSnapshot snapshot(const std::shared_ptr<const ChoiceFiles>& files) {
        return terminal::snapshotFiles(app, *files);
    }
    // Each file as its path below the web.
    static std::vector<std::string> paths(const ChoiceFiles& files) {
        std::vector<std::string> out;
        files.forEach(files.all(), [&](std::size_t, std::string_view folder, std::string_view name) {
            out.push_back((folder.empty() ? "" : std::string(folder) + "/") + "_vti_cnf/" +
                          (name.empty() ? ".fp_folder_info" : std::string(name)));
        });
        return out;
    }
    // Undo and redo as the window runs them: under the web's write lock.
    const Choice& undo(UndoHistory& history, bool redo = false) {
        auto lock = app.lockForWriting(false);
        const Choice& choice = redo ? history.redo(app) : history.undo(app);
        lock->commit();
        return choice;
    }
    const Choice& redo(UndoHistory& history) { return undo(history, true); }

    // What marking docs does on disk.
    Choice markDocs(UndoHistory& history) {
        const auto files = filesOf({"docs"}, true);
        const FileSnapshot before = snapshot(files);
        dir.write("web/docs/_vti_cnf/a.txt", AuthorMarked);
        dir.write("web/docs/_vti_cnf/b.txt", Marked);
        dir.write("web/docs/_vti_cnf/.fp_folder_info", Marked);
        auto choice = choiceBetween("marked docs", files, before, snapshot(files));
        EXPECT_TRUE(choice.has_value());
        history.record(*choice);
        return *choice;
    }

    std::ostringstream warnings;
    host::disk::DiskApplication app{web, warnings};
};

TEST_F(UndoHistoryTest, AChoiceCoversTheItemEverythingBeneathAndTheFoldersAbove) {
    dir.write("web/docs/deep/c.txt", "c");
    dir.write("web/docs/deep/deeper/d.txt", "d");
    dir.write("web/docs/next/e.txt", "e");
    EXPECT_THAT(paths(*filesOf({"docs"}, true)),
                ::testing::UnorderedElementsAre(
                    "_vti_cnf/.fp_folder_info", "docs/_vti_cnf/.fp_folder_info", "docs/_vti_cnf/a.txt",
                    "docs/_vti_cnf/b.txt", "docs/deep/_vti_cnf/.fp_folder_info", "docs/deep/_vti_cnf/c.txt",
                    "docs/deep/deeper/_vti_cnf/.fp_folder_info", "docs/deep/deeper/_vti_cnf/d.txt",
                    "docs/next/_vti_cnf/.fp_folder_info", "docs/next/_vti_cnf/e.txt"));
    EXPECT_THAT(paths(*filesOf({"docs", "a.txt"}, false)),
                ::testing::UnorderedElementsAre("_vti_cnf/.fp_folder_info", "docs/_vti_cnf/.fp_folder_info",
                                                "docs/_vti_cnf/a.txt"));
}

TEST_F(UndoHistoryTest, UndoGivesBackTheExactBytesAndRemovesCreatedFiles) {
    UndoHistory history;
    const Choice choice = markDocs(history);
    EXPECT_EQ(choice.items(), 3u) << "a.txt, b.txt and the folder's own file changed";
    const Choice& undone = undo(history);
    EXPECT_EQ(undone.label, "marked docs");
    EXPECT_EQ(readFile(a), Author) << "byte for byte, CRLF and the other property kept";
    EXPECT_FALSE(fs::exists(b)) << "a file the choice created is removed again";
    EXPECT_FALSE(fs::exists(docs));
    EXPECT_FALSE(history.canUndo());
    ASSERT_TRUE(history.canRedo());
    redo(history);
    EXPECT_EQ(readFile(a), AuthorMarked);
    EXPECT_EQ(readFile(b), Marked);
    EXPECT_EQ(readFile(docs), Marked);
}

TEST_F(UndoHistoryTest, UndoGoesBackThroughTheWholeHistoryAndANewChoiceDropsTheRedo) {
    UndoHistory history;
    markDocs(history);
    const auto files = filesOf({"zeta.txt"}, false);
    const auto before = snapshot(files);
    dir.write("web/_vti_cnf/zeta.txt", Marked);
    history.record(*choiceBetween("marked zeta.txt", files, before, snapshot(files)));

    EXPECT_EQ(undo(history).label, "marked zeta.txt");
    EXPECT_FALSE(fs::exists(web / "_vti_cnf/zeta.txt"));
    EXPECT_EQ(undo(history).label, "marked docs");
    EXPECT_EQ(readFile(a), Author);
    EXPECT_FALSE(history.canUndo());
    EXPECT_THROW(undo(history), host::Failure);

    redo(history);
    EXPECT_TRUE(history.canRedo());
    const auto again = snapshot(files);
    dir.write("web/_vti_cnf/zeta.txt", Marked);
    history.record(*choiceBetween("marked zeta.txt", files, again, snapshot(files)));
    EXPECT_FALSE(history.canRedo()) << "a new choice ends what could be redone";
}

TEST_F(UndoHistoryTest, AFileChangedOnDiskSinceStopsTheUndoBeforeAnythingChanges) {
    UndoHistory history;
    markDocs(history);
    dir.write("web/docs/_vti_cnf/b.txt", "vti_encoding:SR|utf8-nl\r\nvti_title:SR|edited elsewhere\r\n");
    try {
        undo(history);
        FAIL() << "the undo went through over a changed file";
    } catch (const host::Failure& f) {
        EXPECT_THAT(f.what(), HasSubstr(b.string()));
        EXPECT_THAT(f.what(), HasSubstr("changed on disk since"));
    }
    EXPECT_EQ(readFile(a), AuthorMarked) << "nothing changed, not even the files that still matched";
    EXPECT_EQ(readFile(docs), Marked);
    EXPECT_TRUE(history.canUndo()) << "the history stays as it was";
    // Removed on disk since counts as changed too.
    dir.write("web/docs/_vti_cnf/b.txt", Marked);
    fs::remove(docs);
    EXPECT_THROW(undo(history), host::Failure);
    EXPECT_EQ(readFile(a), AuthorMarked);
}

TEST_F(UndoHistoryTest, UndoIsCountedAndNeverWritesThroughAFolderSwappedForALink) {
    UndoHistory history;
    markDocs(history);
    const auto count = app.changeCount();
    undo(history);
    EXPECT_EQ(app.changeCount(), count + 1) << "other windows on the web learn of the undo";

    // Another program puts a link to a folder outside the web where docs was; redo must not follow it.
    const fs::path outside = dir.mkdir("outside");
    fs::rename(web / "docs", dir / "docs-moved");
    fs::create_directory_symlink(outside, web / "docs");
    EXPECT_THROW(redo(history), host::Failure);
    EXPECT_TRUE(fs::is_empty(outside)) << "nothing was written outside the web";
    EXPECT_TRUE(history.canRedo());
}

TEST_F(UndoHistoryTest, NothingChangedIsNoChoice) {
    const auto files = filesOf({"docs"}, true);
    const auto before = snapshot(files);
    EXPECT_FALSE(choiceBetween("marked docs", files, before, snapshot(files)).has_value());
}

TEST_F(UndoHistoryTest, CountsMarksRemovedThatWereSetOnTheirOwn) {
    // Files marked one by one in a folder without a mark of its own.
    dir.write("web/docs/_vti_cnf/a.txt", AuthorMarked);
    dir.write("web/docs/_vti_cnf/b.txt", Marked);
    const auto files = filesOf({"docs"}, true);
    auto before = snapshot(files);
    dir.write("web/docs/_vti_cnf/a.txt", Author);
    dir.write("web/docs/_vti_cnf/b.txt", "vti_encoding:SR|utf8-nl\r\n");
    auto after = snapshot(files);
    EXPECT_EQ(terminal::marksRemovedOnTheirOwn(*files, before, after), 2u);

    // Marked with the folder (whose own file holds the mark): none of them on their own, and the chosen
    // folder's own mark is not counted either.
    dir.write("web/docs/_vti_cnf/a.txt", AuthorMarked);
    dir.write("web/docs/_vti_cnf/b.txt", Marked);
    dir.write("web/docs/_vti_cnf/.fp_folder_info", Marked);
    before = snapshot(files);
    dir.write("web/docs/_vti_cnf/a.txt", Author);
    dir.write("web/docs/_vti_cnf/b.txt", "vti_encoding:SR|utf8-nl\r\n");
    dir.write("web/docs/_vti_cnf/.fp_folder_info", "vti_encoding:SR|utf8-nl\r\n");
    after = snapshot(files);
    EXPECT_EQ(terminal::marksRemovedOnTheirOwn(*files, before, after), 0u);
}

} // namespace
