// `railgrace-cli inspect`: the chunk tree of a track file as the loader walked it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "track/TrackIo.h"

namespace railgrace {

struct Inspection {
    std::string fileName;
    std::uintmax_t fileBytes = 0;
    std::vector<WalkEntry> walk;
    TrackModel model;
};

void PrintInspection(std::ostream& out, const Inspection& inspection);
void PrintInspectionJson(std::ostream& out, const Inspection& inspection);

}  // namespace railgrace
