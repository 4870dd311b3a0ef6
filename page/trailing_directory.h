// The directory that follows a page's strips (page_coder.h), laid out and
// serialised in a global-memory block its coder holds until it is reset: the
// one way the JPEG and the stream coders lay theirs out.
#pragma once

#include <cstdint>

#include "page/page_coder.h"
#include "tiff/directory_layout.h"

// Releases `*block`, then lays out `layout` into a new one in `byteOrder`.
// PlanTrailingPage's statuses, StatusNoMemory when the block cannot be had.
PluginStatus SerializeTrailingDirectory(const TrailingLayoutRequest& layout, int32_t byteOrder, uint8_t** block,
                                        TrailingDirectory* directory);
