// paperloom-join: joins Word documents into one from the command line.
#include <unistd.h>

#include <iostream>
#include <memory>

#include "cli/JoinTool.h"
#include "engine/automation/DocumentEngine.h"
#include "engine/files/PrivateFolder.h"
#include "engine/files/StopRequest.h"
#include "engine/files/TemporaryRecord.h"
#include "office/OfficeBridge.h"
#include "office/OfficeProfile.h"

int main(int argc, char** argv) {
    paperloom::engine::installStopSignals();
    paperloom::engine::removeLeftovers();
    paperloom::engine::office::removeOrphanedProfiles(paperloom::engine::temporaryFolder());
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    int status = 0;
    {
        paperloom::engine::DocumentEngine engine;
        engine.setConverter(std::make_shared<paperloom::engine::office::OfficeBridge>());
        status = paperloom::cli::runJoinTool(arguments, engine, std::cout, std::cerr,
                                             ::isatty(STDERR_FILENO) == 1);
    }
    paperloom::engine::endByStopSignal();
    return status;
}
