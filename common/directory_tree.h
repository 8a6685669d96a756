// Deletes a folder with every file and sub-folder in it, read-only ones
// included. A junction or other reparse point inside it (or the folder
// itself being one) is removed as a link: what it points to is never
// entered. Nothing is logged; what cannot be deleted stays.
#pragma once

#include <string>

#include "platform/kernel.h"

void DeleteDirectoryTree(win::Kernel& kernel, std::string folder);
