#pragma once

#include <filesystem>
#include <optional>

// The bundled sample web: the terminal host opens a private copy, so marking in it never changes the
// repository's files.
namespace terminal {

// The repository's sample web: beside the sources the program was built from, or found relative to the
// executable (a moved build tree, an installed copy). None when neither is there.
std::optional<std::filesystem::path> findSampleWebSource();

// $XDG_DATA_HOME/varnook (or ~/.local/share/varnook); a relative XDG_DATA_HOME is ignored, as the
// base-directory convention asks.
std::filesystem::path dataFolder();

// The user's copy of the sample web in `dataDir`: made from `source` on first use, never overwritten.
// The copy is made in a temporary folder beside it and renamed into place, so an interrupted copy never
// passes for a finished one. Throws host::Failure when the copy cannot be made.
std::filesystem::path ensureSampleWebCopy(const std::filesystem::path& source,
                                          const std::filesystem::path& dataDir);

} // namespace terminal
