// What the transfer steps ask of the package: the image file names they name, and whether
// a slot's image can be had in full before anything is sent that would need it.
#pragma once

#include <string>

#include "package/image_slots.h"

// The slot's file name, prefixed with the image folder in service mode.
std::string ImageFileName(ImageSlot slot);

// True when the run's package directory gives the slot as present and its bytes lie inside
// the program file (an empty present slot counts: it asks for nothing).
bool PackageSlotHoldsImage(ImageSlot slot);
