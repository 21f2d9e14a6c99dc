#pragma once
// The file property readers' factory: the reader that fits a stream's content.
#include "base/streams.h"
#include "picture/props/fileprops.h"

// The reader for `stream` by content, owned by the caller, or null: a JPEG reader, a
// picture reader owning the probed picture, an executable reader for a PE file with a
// resource section.
[[nodiscard]] cFileObjectProps* CreateFileProps(cFileIOTarget* stream);
