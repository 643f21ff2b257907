#include <iostream>

#include "cli/commands.h"
#include "support/file_ops.h"
#include "support/platform.h"

int main(int argc, char** argv) {
    pelko::RaiseDescriptorLimit();
    pelko::cli::Args args(argv + 1, argv + argc);
    const pelko::cli::ProgramFacts facts{pelko::FindAppFolder(), pelko::ComputerName(),
                                         pelko::UserTempFolder()};
    pelko::RemoveStaleAppTemporaries(facts.app_folder);
    // The working ImgCount.txt is written there.
    pelko::RemoveStaleTemporaries(facts.temp_folder);
    return pelko::cli::Main(args, facts, std::cout, std::cerr);
}
