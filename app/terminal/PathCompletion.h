#pragma once

#include <string>
#include <string_view>
#include <vector>

// Tab in the prompt for a web's folder: completes the last part of a typed path to the folders there.
namespace terminal {

// "~" and "~/..." in the user's home folder, as a shell reads them.
std::string expandHome(const std::string& path);

struct Completion {
    std::string text;                    // the typed text, completed as far as the folders agree
    std::vector<std::string> candidates; // the folder names that still fit, when more than one does
};

// Folders only, in name order; hidden ones only when the typed part starts with ".". A single match
// gains a trailing "/". Nothing fits, or the folder cannot be read: the text stays as typed.
Completion completeFolder(std::string_view typed);

} // namespace terminal
