// What the transfer steps ask of the package: the image file names they name, and whether
// a slot's image can be had in full before anything is sent that would need it.
#pragma once

#include <string>
#include <vector>

#include "package/image_slots.h"

// The slot's file name, prefixed with the image folder in service mode.
std::string ImageFileName(ImageSlot slot);

// The slots that the partition-table override would need and the package cannot supply:
// the header and body slot of every image target, each absent from the run's package
// directory or with bytes outside the program file, and the headers that travel inside
// an open request present but empty (such an open can only fail). An empty body is
// supplied: it asks for nothing. The program file is located once for all of them.
std::vector<ImageSlot> SlotsTheOverrideCannotHave();
