// PatchGroup::computeFormFactors: one hemicube view per element of the group.
#include <memory>

#include "HemicubeView.h"
#include "PatchGroup.h"

void PatchGroup::computeFormFactors(const GrowArray<PatchGroup*>& groups) {
    const int groupCount = groups.count();
    for (std::vector<float>& row : formFactors) row.assign(static_cast<size_t>(4) * groupCount, 0.0f);
    hasFormFactors = true;
    formFactorGroupCount = groupCount;

    for (int e = 0; e < 4; ++e) {
        // A degenerate element has no direction to look along: it gets no
        // view and its row stays 0.
        if (elements[e].isDegenerate()) continue;
        const Vec3 center = elements[e].centroid();
        const Vec3 normal = elements[e].normal();
        auto view = std::make_unique<HemicubeView>(center, normal, *hemicube);
        for (int g = 0; g < groupCount; ++g) {
            const PatchGroup* other = groups[g];
            // Groups of the same input patch, this one included, are not
            // drawn at all: they neither receive light nor hide anything.
            if (other->parentPatchId == parentPatchId) continue;
            for (int k = 0; k < 4; ++k) {
                if (other->elements[k].isDegenerate()) continue;
                view->project(4 * g + k, other->elements[k]);
            }
        }
        view->accumulate(formFactors[e].data());
    }
}
