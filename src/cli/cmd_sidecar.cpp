#include <ostream>

#include "cli/commands.h"

namespace pelko::cli {

// Not built yet: reports itself as unavailable.
int RunSidecar(const Args& /*args*/, const ProgramFacts& /*facts*/, std::ostream& /*out*/,
               std::ostream& err) {
    err << "pelkocopy-cli: 'sidecar' is not available in this build\n";
    return 2;
}

}  // namespace pelko::cli
