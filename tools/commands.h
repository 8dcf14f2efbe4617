#pragma once

#include <string>
#include <vector>

namespace lumora::tools {

// Each verb of lumora-data takes the arguments after its own name and
// returns the process exit code: 0 on success, 1 for bad input, 2 for a
// wrong command line. Messages go to stderr; no output file is left
// half-written.
using Arguments = std::vector<std::string>;

int RunDump(const Arguments& args);       // dump FILE
int RunBuild(const Arguments& args);      // build JSON OUT
int RunLang(const Arguments& args);       // lang DIR OUT
int RunImportM3u(const Arguments& args);  // import-m3u --version V [--channels CSV] OUT IN...
int RunList(const Arguments& args);       // list CATALOGUE [--languages P] [--settings C] ...
int RunResources(const Arguments& args);  // resources [--flags DIR] OUT.velt
int RunSplash(const Arguments& args);     // splash PNG OUT.velt
int RunPublish(const Arguments& args);    // publish CATALOGUE DIR
int RunCheck(const Arguments& args);  // check IN OUT [--report CSV] [--jobs N] [--timeout S] ...

int RunCatchup(const Arguments& args);  // catchup CAT CHANNEL-ID START STOP [--now TIME] ...
int RunRecord(const Arguments& args);   // record CAT CHANNEL-ID --until TIME OUT.ts ...
// import-account SERVER USER OUT.lmch [--adult], the password on stdin
int RunImportAccount(const Arguments& args);

// guide import|show|match STORE ... (tools/guide_command.cpp)
int RunGuide(const Arguments& args);

}  // namespace lumora::tools
