// The properties of one item of a disk web: pending changes, and their rewrite of the item's metadata
// file, straight away or into the write lock's batch.
#include "host/disk/DiskProperties.h"

#include "host/Failure.h"
#include "host/disk/Listing.h"
#include "host/disk/MetadataFiles.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"
#include "host/disk/WriteBatch.h"
#include "host/disk/WriteLock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::disk {
namespace {

std::string shownPath(const WebState& state, const ItemPlace& place) {
    return state.folders.shownPath(*place.folder) + "/" + std::string(metadata::FolderName) + "/" +
           printable(place.metadataName());
}

} // namespace

Value DiskProperties::item(std::string_view name) {
    try {
        const auto document = current();
        return document ? metadata::lookup(*document, name) : Value::empty();
    } catch (const Failure& f) {
        // The window reads such a mark as "publish"; whoever deploys must be able to learn of it.
        state_->unreadable.try_emplace(place_.rel, f.what());
        throw;
    }
}

void DiskProperties::set(std::string_view name, const Value& value) {
    metadata::formatLine(name, value); // refuses a value that could not be written, before it is pending
    record(name, value);
}

void DiskProperties::remove(std::string_view name) {
    if (!present(name))
        throw Failure(status::InvalidArg, "no property '" + std::string(name) + "' on " + url());
    record(name, std::nullopt);
}

void DiskProperties::apply() {
    const auto pending = state_->pending.find(key());
    if (pending == state_->pending.end())
        return;
    // Whatever happens now, these changes are done with: a failed apply is not retried by the next.
    const auto changes = std::move(pending->second);
    state_->pending.erase(pending);
    requireItem();
    const auto document = current();
    const auto next =
        metadata::rewrite(document ? std::optional<std::string_view>(*document) : std::nullopt, changes);
    if (next)
        write(*next);
}

void DiskProperties::replaceWholeFile(const std::optional<std::string>& bytes) {
    if (bytes) {
        write(*bytes);
        return;
    }
    const std::string& name = place_.metadataName();
    if (state_->batch)
        state_->batch->cancel(*place_.folder, name);
    const auto folder = state_->folders.metadataFolder(*place_.folder, false);
    if (!folder)
        return;
    if (::unlinkat(folder->get(), name.c_str(), 0) != 0) {
        if (errno == ENOENT)
            return;
        throw Failure(statusFor(errno), "cannot remove " + shown() + ": " + message(errno));
    }
    if (state_->batch)
        state_->batch->noteRemoval();
}

std::string DiskProperties::shown() const {
    return shownPath(*state_, place_);
}

std::optional<std::string> DiskProperties::current() {
    if (state_->batch) {
        if (const std::string* staged = state_->batch->staged(*place_.folder, place_.metadataName()))
            return *staged;
    }
    const auto folder = state_->folders.metadataFolder(*place_.folder, false);
    if (!folder)
        return std::nullopt;
    return metadata::readAt(folder->get(), place_.metadataName(), [this] { return shown(); });
}

bool DiskProperties::present(std::string_view name) {
    const auto pending = state_->pending.find(key());
    if (pending != state_->pending.end()) {
        const auto change = find(pending->second, name);
        if (change != pending->second.end())
            return change->value.has_value();
    }
    const auto document = current();
    return document && metadata::contains(*document, name);
}

DiskProperties::Changes::iterator DiskProperties::find(Changes& changes, std::string_view name) {
    return std::find_if(changes.begin(), changes.end(),
                        [&](const metadata::Change& c) { return c.name == name; });
}

void DiskProperties::record(std::string_view name, std::optional<Value> value) {
    auto& changes = state_->pending[key()];
    const auto change = find(changes, name);
    if (change != changes.end())
        change->value = std::move(value);
    else
        changes.push_back({std::string(name), std::move(value)});
}

void DiskProperties::requireItem() {
    const int dir = state_->folders.open(*place_.folder);
    struct stat info {};
    if (::fstat(dir, &info) != 0 || info.st_nlink == 0)
        throw Failure(status::NotFound,
                      "cannot apply the properties of " + url() + ": the folder is no longer there");
    if (!place_.isFolder() && kindAt(dir, place_.fileName.c_str()) != Kind::File)
        throw Failure(status::NotFound,
                      "cannot apply the properties of " + url() + ": the file is no longer there");
}

void DiskProperties::write(const std::string& bytes) {
    const int dir = state_->folders.open(*place_.folder);
    const bool existed = state_->folders.metadataFolder(*place_.folder, false) != nullptr;
    const std::string& name = place_.metadataName();
    try {
        const auto folder = state_->folders.metadataFolder(*place_.folder, true);
        WriteBatch* batch = state_->batch.get();
        if (batch && state_->tidied.insert(place_.folder).second)
            metadata::removeStaleTemporariesAt(folder->get(), batch->temporariesIn(*place_.folder));
        if (batch)
            announceWriting(*state_);
        const std::string temp = metadata::writeTemporaryAt(folder->get(), name, bytes, batch == nullptr,
                                                            [this] { return shown(); });
        if (batch) {
            // The batch lives in the web's state, so the state outlives what it keeps.
            batch->stage(*place_.folder, name, temp, bytes,
                         [state = state_.get(), place = place_] { return shownPath(*state, place); });
            if (batch->full())
                batch->flush();
            return;
        }
        if (sys::renameAt(folder->get(), temp.c_str(), folder->get(), name.c_str()) != 0) {
            const int error = errno;
            ::unlinkat(folder->get(), temp.c_str(), 0);
            throw Failure(statusFor(error), "cannot replace " + shown() + ": " + message(error));
        }
        // Without this the rename itself may not survive a crash.
        if (sys::syncFolder(folder->get()) != 0)
            throw Failure(statusFor(errno), "cannot make " + shown() + " durable: " + message(errno));
    } catch (...) {
        // A metadata folder made for nothing is taken away again, so the folder looks as before.
        if (!existed && ::unlinkat(dir, std::string(metadata::FolderName).c_str(), AT_REMOVEDIR) == 0)
            place_.folder->metadataFolder.reset();
        throw;
    }
}

} // namespace host::disk
