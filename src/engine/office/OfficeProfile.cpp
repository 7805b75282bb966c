// Our LibreOffice settings, as the registry file a profile keeps its changes in.
//
// The documents we convert come from anywhere. A picture linked by URL (file:///home/...) would
// be fetched and end up embedded in a PDF the user shares, so LibreOffice is told to load no
// link of a document that is not in a trusted location (there are none), and never to update
// links. Macros never run. Without locking, LibreOffice makes no ".~lock.NAME#" file beside a
// source document, which a kill would leave behind.
#include "engine/office/OfficeProfile.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace paperloom::engine::office {
namespace {

constexpr const char* kSettings =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="UseLocking" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>0</value></prop></item>
</oor:items>
)";

} // namespace

bool writeProfileSettings(const std::string& folder) {
    const std::string user = folder + "/user";
    ::mkdir(folder.c_str(), 0700);
    ::mkdir(user.c_str(), 0700);
    const std::string path = user + "/registrymodifications.xcu";
    std::FILE* file = std::fopen(path.c_str(), "wx");
    if (file == nullptr) {
        return false; // already there: LibreOffice has kept ours since it first started
    }
    const std::string text = kSettings;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace paperloom::engine::office
