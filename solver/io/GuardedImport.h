#pragma once

#include <string>

#include "Model.h"
#include "Progress.h"

struct SceneSurfaces;

// importScene run in a child process with bounded memory and processor time,
// so that a file that crashes the importer, or makes it allocate or loop
// without end, stops with a message instead of taking the program with it.
// The child's warnings go to standard error as they arise; the model comes
// back over a pipe and its loading progress is reported here, as
// importScene reports it. With `surfaces`, the child fills them in too
// (importScene's `surfaces`) and they come back with the model.
//
// Throws GlowbakeError "model file NAME: ..." for everything importScene
// refuses, and when the child crashes, exceeds its bounds or cannot be run,
// saying which.
Model importSceneGuarded(const std::string& fileName, const Progress& progress, SceneSurfaces* surfaces = nullptr);

// The child's address-space bound beyond what the program already maps: far
// more than the importer and its texture decoding need for a real scene of
// the file's size (a few tens of bytes a byte of the file, a texture of the
// largest size at most a few GiB), never more than half the machine's memory.
constexpr double kImportMemoryBase = 4.0 * 1024 * 1024 * 1024;
constexpr double kImportMemoryPerFileByte = 64.0;

// The child's processor-time bound, in seconds: the importer reads real
// scenes at tens of MB a second, so this is tens of times what a large
// scene takes, and a loop without end stops within minutes.
constexpr double kImportSecondsBase = 120.0;
constexpr double kImportSecondsPerMiB = 1.0;
