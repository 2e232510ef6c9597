// The properties of one item of a disk web, read from and written to its metadata file; apart from the
// object model since items named by their path, not only the web's files and folders, have them too.
#pragma once

#include "host/WebModel.h"
#include "host/disk/Metadata.h"
#include "host/disk/WebState.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace host::disk {

// The item a set of properties belongs to: a folder, or a file in a folder.
struct ItemPlace {
    HandleFolder* folder;
    std::string fileName; // empty for the folder itself
    std::string rel;

    bool isFolder() const { return fileName.empty(); }
    const std::string& metadataName() const {
        static const std::string folderInfo(metadata::FolderInfoName);
        return isFolder() ? folderInfo : fileName;
    }
};

class DiskProperties final : public Properties {
  public:
    DiskProperties(std::shared_ptr<WebState> state, ItemPlace place)
        : state_(std::move(state)), place_(std::move(place)) {}

    Value item(std::string_view name) override;
    void set(std::string_view name, const Value& value) override;
    void remove(std::string_view name) override;
    void apply() override;

    // The metadata file as a whole, for putting back what a choice changed.
    std::optional<std::string> wholeFile() { return current(); }
    void replaceWholeFile(const std::optional<std::string>& bytes);

  private:
    std::pair<const HandleFolder*, std::string> key() const { return {place_.folder, place_.metadataName()}; }
    std::string url() const { return urlOf(*state_, place_.rel); }
    std::string shown() const;

    // The stored document, as the pending replacements of this write session leave it.
    std::optional<std::string> current();
    // Present once pending changes are counted in, as a later apply would leave it.
    bool present(std::string_view name);

    using Changes = std::vector<metadata::Change>;
    static Changes::iterator find(Changes& changes, std::string_view name);
    void record(std::string_view name, std::optional<Value> value);
    // Metadata written for an item that has gone would show up again for whatever takes its name.
    void requireItem();
    void write(const std::string& bytes);

    std::shared_ptr<WebState> state_;
    ItemPlace place_;
};

} // namespace host::disk
