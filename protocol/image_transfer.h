// Writing one image: an open-multi-image request naming the image type (for OEMSBL, AMSS
// and APPSBOOT it carries the image's header), stream writes of 798,720-byte chunks, and a
// close. The image comes from the package slot that currentImageIndex names.
#pragma once

#include "session/step_operations.h"

// Each returns 1 on success and 0 on failure.
int OpenImage(ImageTarget target);
int WriteImage(ImageTarget target);
int CloseImage(ImageTarget target);
