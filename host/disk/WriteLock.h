// The web's write lock as the rest of the disk web sees it. Its class is declared in DiskWeb.h beside
// DiskApplication, which hands it out and whose every caller holds one.
#pragma once

#include "host/disk/WebState.h"

namespace host::disk {

// Notes in the lock file that temporary files of this writer may lie in the web, before the first one is
// written, so that the next writer clears them when this one is killed before its commit. Throws
// host::Failure when the note cannot be written: the temporary files could then outlive a killed writer
// unseen. Does nothing without the lock, or once noted.
void announceWriting(WebState& state);

} // namespace host::disk
