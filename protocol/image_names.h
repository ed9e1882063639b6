// What the transfer steps ask of the package: the image file names they name, and whether
// a slot's image can be had in full before anything is sent that would need it.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "package/image_slots.h"

// The slot's file name, prefixed with the image folder in service mode.
std::string ImageFileName(ImageSlot slot);

// The slots among `slots` that the package cannot supply in full: absent from the run's
// package directory, or with bytes outside the program file (an empty present slot is
// supplied: it asks for nothing). The program file is located once for all of them.
std::vector<ImageSlot> SlotsNotHeldInFull(std::span<const ImageSlot> slots);
