#pragma once

#include <vector>

#include "GrowArray.h"
#include "Model.h"

// For every patch, the other patches that lie in nearly the same plane, face
// the same way, share a corner (within the patch's vertexTolerance box) and
// carry exactly the same colours, in ascending order. Candidates come from a
// grid of corners keyed by colour, so only nearby patches of the same colours
// are tested. Throws GlowbakeError, before making any list, when the lists
// would take more than `budgetBytes`.
std::vector<GrowArray<int>> findCoplanarNeighbors(const Model& model, long long budgetBytes);
// The same lists by testing every ordered pair; kept as the reference for
// tests.
std::vector<GrowArray<int>> findCoplanarNeighborsPairwise(const Model& model);

// Bytes that lists of these lengths take.
long long neighborListBytes(const std::vector<int>& lengths);

// The three tests, in the order the pass applies them.
bool isCoplanar(const Tri& a, const Tri& b);
// The co-planarity test on two unit normals: dot product above 0.99.
bool normalsAgree(const Vec3& thisNormal, const Vec3& otherNormal);
bool sharesVertex(const Tri& a, const Tri& b);
bool sameColors(const Model& model, int j, int k);
