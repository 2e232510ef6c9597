#include "app/terminal/UndoHistory.h"

#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using terminal::Choice;
using terminal::choiceBetween;
using terminal::FileSnapshot;
using terminal::UndoHistory;
using ::testing::Contains;
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

    FileSnapshot snapshot(const std::vector<fs::path>& files) { return terminal::snapshotFiles(app, files); }
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
        const auto files = terminal::metadataFilesOfChoice(web, {"docs"}, true);
        const FileSnapshot before = snapshot(files);
        dir.write("web/docs/_vti_cnf/a.txt", AuthorMarked);
        dir.write("web/docs/_vti_cnf/b.txt", Marked);
        dir.write("web/docs/_vti_cnf/.fp_folder_info", Marked);
        auto choice = choiceBetween("marked docs", before, snapshot(files));
        EXPECT_TRUE(choice.has_value());
        history.record(*choice);
        return *choice;
    }

    std::ostringstream warnings;
    host::disk::DiskApplication app{web, warnings};
};

TEST_F(UndoHistoryTest, AChoiceCoversTheItemEverythingBeneathAndTheFoldersAbove) {
    dir.write("web/docs/deep/c.txt", "c");
    const auto folder = terminal::metadataFilesOfChoice(web, {"docs"}, true);
    EXPECT_THAT(folder, Contains(web / "_vti_cnf/.fp_folder_info"));
    EXPECT_THAT(folder, Contains(docs));
    EXPECT_THAT(folder, Contains(a));
    EXPECT_THAT(folder, Contains(b));
    EXPECT_THAT(folder, Contains(web / "docs/deep/_vti_cnf/.fp_folder_info"));
    EXPECT_THAT(folder, Contains(web / "docs/deep/_vti_cnf/c.txt"));
    EXPECT_THAT(folder, ::testing::Not(Contains(web / "_vti_cnf/zeta.txt")));
    const auto file = terminal::metadataFilesOfChoice(web, {"docs", "a.txt"}, false);
    EXPECT_THAT(file, ::testing::UnorderedElementsAre(web / "_vti_cnf/.fp_folder_info", docs, a));
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
    const auto files = terminal::metadataFilesOfChoice(web, {"zeta.txt"}, false);
    const auto before = snapshot(files);
    dir.write("web/_vti_cnf/zeta.txt", Marked);
    history.record(*choiceBetween("marked zeta.txt", before, snapshot(files)));

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
    history.record(*choiceBetween("marked zeta.txt", again, snapshot(files)));
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
    const auto files = terminal::metadataFilesOfChoice(web, {"docs"}, true);
    const auto before = snapshot(files);
    EXPECT_FALSE(choiceBetween("marked docs", before, snapshot(files)).has_value());
}

TEST_F(UndoHistoryTest, CountsMarksRemovedThatWereSetOnTheirOwn) {
    // Files marked one by one in a folder without a mark of its own.
    dir.write("web/docs/_vti_cnf/a.txt", AuthorMarked);
    dir.write("web/docs/_vti_cnf/b.txt", Marked);
    const auto files = terminal::metadataFilesOfChoice(web, {"docs"}, true);
    auto before = snapshot(files);
    dir.write("web/docs/_vti_cnf/a.txt", Author);
    dir.write("web/docs/_vti_cnf/b.txt", "vti_encoding:SR|utf8-nl\r\n");
    auto after = snapshot(files);
    EXPECT_EQ(terminal::marksRemovedOnTheirOwn(before, after, web / "docs"), 2u);

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
    EXPECT_EQ(terminal::marksRemovedOnTheirOwn(before, after, web / "docs"), 0u);
}

} // namespace
