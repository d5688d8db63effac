#pragma once

#include <string>

// Checks, before the importer reads it, what of a scene file the importer is
// known to mishandle (it crashes, runs without end or allocates what the file
// only claims), and throws GlowbakeError "model file NAME: ..." naming the
// place when the file has it:
//  - a PLY header (a file starting "ply", in any letter case) without an
//    end_header line within its first kMaxPlyHeaderBytes;
//  - a binary glTF (a file starting "glTF") whose header or chunk lengths
//    claim more bytes than the file holds;
//  - an OBJ whose material library has a statement before its first newmtl.
// Files that cannot be read pass: the importer says why it cannot read them.
void screenSceneFile(const std::string& fileName);

// Far more than any exporter's header with its comments, far less than a
// file whose header never ends.
constexpr long kMaxPlyHeaderBytes = 1 << 20;
