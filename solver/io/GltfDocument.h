#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tiny_gltf.h>

// A glTF 2.0 document held by tinygltf, read to be given back with additions:
// every property it has (extensions and extras included) is kept, buffers
// are loaded, and images are kept as the bytes of their files (PNG, JPEG,
// KTX2, WebP), never decoded.
//
// Data is only ever appended: new buffer views and accessors go after the
// existing ones, so every index in the document, an extension's included,
// keeps meaning what it meant.

// Reads a .gltf (with the buffers and images it names beside it, or data
// URIs) or a binary .glb. Throws GlowbakeError "model file NAME: ..." when
// it cannot be read, or an image it names cannot be read or is in a format
// glTF does not know (it could not be given back).
tinygltf::Model readGltfDocument(const std::string& fileName);

// Bytes of one element of an accessor (components x component size); 0 for
// an unknown component type or type.
std::size_t elementBytes(const tinygltf::Accessor& accessor);

// The elements of accessor `index`, packed one after the other, with the
// sparse substitutions made (zeros where it has no buffer view). Throws
// GlowbakeError naming `where` when the accessor or what it reads lies
// outside the document.
std::vector<std::uint8_t> accessorElements(const tinygltf::Model& model, int index, const std::string& where);

// Moves every buffer's data into buffer 0 (each at a 16-byte boundary, the
// buffer views moved with it) and the bytes of every image that has a URI
// into a buffer view of its own, so that the document is one buffer (its
// images checked by readGltfDocument).
void gatherIntoOneBuffer(tinygltf::Model& model, const std::string& fileName);

// Appends `bytes` to buffer 0 as a new buffer view (at a 4-byte boundary,
// with `stride` and `target` when not 0); returns its index.
int appendBufferView(tinygltf::Model& model, const std::vector<std::uint8_t>& bytes, int stride, int target);

// Appends `count` packed elements of `like`'s component type, type and
// normalisation as a new accessor. Vertex data (`vertex`) is laid out with
// each element at a 4-byte boundary, as glTF requires of attributes;
// `withBounds` adds min and max (the stored values, as glTF wants them).
// Returns the accessor's index.
int appendAccessor(tinygltf::Model& model, const tinygltf::Accessor& like, const std::vector<std::uint8_t>& packed,
                   std::size_t count, bool vertex, bool withBounds);

// Drops the accessors and buffer views nothing refers to any more (the
// vertex data primitives had before they were rewritten) and their bytes,
// renumbering the rest, when every extension the document uses is one
// known not to refer to either (materials', textures', lights', mesh
// quantization); otherwise leaves everything, since an extension may
// refer to any of them by index. True when it dropped.
bool dropUnusedData(tinygltf::Model& model);

// The document as a .glb (its buffer 0 as the binary chunk), or as .gltf
// JSON that names `binUri` (a URI, already escaped) for buffer 0's bytes,
// which go to `bin`. Both take buffer 0's data out of the model.
std::vector<std::uint8_t> encodeGlbDocument(tinygltf::Model& model);
std::string encodeGltfDocument(tinygltf::Model& model, const std::string& binUri, std::vector<std::uint8_t>& bin);
