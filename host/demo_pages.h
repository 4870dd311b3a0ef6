// The built-in demo document: one page of each kind the plug-in writes,
// generated in code (the same bytes on every platform).
#pragma once

#include <vector>

#include "host/image.h"

std::vector<Image> MakeDemoPages();
