// The proof behind the floor: the platform calls of one component refresh and of one floor
// refresh, recorded side by side.
#pragma once

#include <cstdio>

namespace tobrunel::bench {

// floorMatchesComponent records one refresh of the object model over the real manager and one
// of the floor, prints how many calls each made and the first difference, and says whether the
// two lists are the same, arguments and close order included.
bool floorMatchesComponent(std::FILE* report);

} // namespace tobrunel::bench
