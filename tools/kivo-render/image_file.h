// Writing a finished frame to a BMP or PNG file.
#pragma once

#include <string>

#include "flakes/frame_view.h"
#include "tools/kivo-render/render_options.h"

namespace kivo {

// True where this build can write PNG files.
bool PngSupported();

// Checks early that a file can be created at `path` (nothing is left behind).
bool CanCreateFile(const std::string& path, std::string* error);

// Writes the frame, whole or not at all: the file is written under a
// temporary name beside the target and renamed into place when complete.
// On failure *error holds one line and no file is left behind.
bool WriteImageFile(const FrameView& frame, const std::string& path, ImageFormat format, std::string* error);

}  // namespace kivo
