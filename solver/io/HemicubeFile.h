#pragma once

#include <cstdio>
#include <string>

#include "Hemicube.h"

// Reads a hemicube file: N as a 4-byte big-endian integer, then the top and
// the side quadrant, (N/2)^2 big-endian floats each. Throws GlowbakeError
// naming `fileName` when N is unusable, the file is too short or a value is
// outside 0..1. The file's length is checked before anything is allocated
// for the resolution it claims.
HemicubeTables readHemicubeFile(std::FILE* file, const std::string& fileName);
