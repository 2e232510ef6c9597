#pragma once

#include "host/WebModel.h"
#include "host/disk/Descriptor.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The host ports over a web that is a plain folder on disk, with the properties kept in the editor's own
// metadata files, so the add-in can run against a real site without the editor.
namespace host::disk {

struct WebState; // shared by every object handed out for the web, so pending changes outlive them

// The web's write lock, held by one writer at a time across processes (an flock on a file in the web's
// "_vti_pvt" folder). While it is held, applied changes are made durable in batches; commit makes the
// last of them durable and releases the lock.
class WriteLock {
  public:
    ~WriteLock(); // releases; changes not yet committed are made durable first, a failure then warned of
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    // Makes every change applied under the lock durable, moves the web's change count on when anything
    // changed, then releases it. Throws host::Failure when a change or the count could not be written; the
    // lock is released all the same.
    void commit();
    // The web's change count when the lock was taken (see DiskApplication::changeCount).
    std::uint64_t changeCountAtStart() const { return countAtStart_; }

  private:
    friend class DiskApplication;
    WriteLock(std::shared_ptr<WebState> state, Descriptor fd, std::uint64_t count);

    std::shared_ptr<WebState> state_;
    Descriptor fd_;
    std::uint64_t countAtStart_;
};

// The editor's private folder of a web, where the write lock's file is kept too.
inline constexpr std::string_view PrivateFolderName = "_vti_pvt";

// Whether the web at `web` has its lock file yet; taking the lock makes it, and the web's private folder,
// when it has not.
bool hasLockFile(const std::filesystem::path& web);

// The names a folder of the web shows, each list sorted: what is hidden, unsafe or no file or folder
// (a link, a device) is left out, as in the window.
struct FolderListing {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

class DiskApplication : public host::Application {
  public:
    // Opens the web at webPath. Throws host::Failure when it cannot be opened: missing, not a folder,
    // unreadable, the root of the file system, or a resolved path holding "\" or a control character.
    // warnings: where names left out of the web are reported, once per name; it must outlive this object.
    DiskApplication(const std::filesystem::path& webPath, std::ostream& warnings);
    ~DiskApplication() override;

    std::unique_ptr<host::Web> activeWeb() override; // a fresh Web object each call
    // Fails when the URL is not strictly below the base folder.
    std::string relativeUrl(host::Folder& base, std::string_view url) override;
    const std::filesystem::path& webPath() const; // resolved, without a trailing slash

    // Takes the web's write lock; every command that changes marks holds it from before it reads them
    // until its last write. With wait, a lock held by another writer is waited for (stillWaiting runs
    // once after a second; by default a line on the warnings stream says so); without, that fails at
    // once. Throws host::Failure when the lock cannot be taken.
    std::unique_ptr<WriteLock> lockForWriting(bool wait, const std::function<void()>& stillWaiting = {});
    // How many times a writer has committed changes to this web, as its lock file counts them: a window
    // filled at one count shows stale marks once the count has moved on.
    std::uint64_t changeCount();
    // Whether a folder listed so far holds one of the editor's own folders ("_vti_pvt", "_vti_cnf"); a
    // folder with none anywhere is no web of the editor's. After a fill every folder has been listed.
    bool editorFoldersSeen() const;
    // The items whose metadata could not be read so far (by their path below the web, "/" between names),
    // each with why. A window filled from the web shows them published, though their author may have
    // marked them; after a fill every item's mark has been read.
    const std::map<std::string, std::string>& unreadableMarks() const;
    void forgetUnreadableMarks();

    // A metadata file as a whole, for putting back what a choice changed: the one of the folder at `folder`
    // below the web ("" for the web, "/" between names) when `file` is empty, else the one of the file
    // `file` in that folder. Reached through the folders' descriptors from the web's root down and never
    // through a link, so a folder swapped for one since cannot lead outside the web. None when it or its
    // folder does not exist (a folder that is no real folder any more counts as gone).
    std::optional<std::string> readMetadataFile(std::string_view folder, std::string_view file);
    // A file of the web by its path below it ("/" between names), reached as readMetadataFile reaches
    // metadata files. None when it is a symbolic link: such a page is not read. Throws host::Failure when it
    // cannot be read or is no regular file.
    std::optional<std::string> readFile(std::string_view rel);
    // Whether the path names an entry of the web (a link counts as itself and is not followed).
    bool exists(std::string_view rel);
    // The folder at `folder` below the web ("" for the web, "/" between names), listed through the
    // folders' descriptors as readMetadataFile reaches them. None when it is gone or no real folder any
    // more; throws host::Failure when it cannot be listed.
    std::optional<FolderListing> listFolder(std::string_view folder);
    // Gives it these bytes, or removes it (none), as one of the changes of the write lock held.
    void replaceMetadataFile(std::string_view folder, std::string_view file,
                             const std::optional<std::string>& bytes);

  private:
    std::shared_ptr<WebState> state_;
};

} // namespace host::disk
