// The first step of the pass on its own, so that a report can show which vertices smoothing
// leaves alone without running the rest of the pass.
#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"

namespace railgrace {

std::vector<StraightMark> FindStraightVertices(std::span<const BezierVertex> vertices) {
    CheckVertexLimit(vertices.size());
    SmoothWork work{};
    MarkStraightSegments(vertices, work);
    std::vector<StraightMark> marks(vertices.size());
    for (std::size_t i = 0; i < marks.size(); ++i) {
        marks[i] = {work.straight3d[i], work.straightPlan[i]};
    }
    return marks;
}

}  // namespace railgrace
