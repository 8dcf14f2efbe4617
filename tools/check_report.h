#pragma once

#include <string>
#include <vector>

#include "probe/probe_result.h"
#include "tools/checked_catalogue.h"

namespace lumora::tools {

// The report of `lumora-data check`, one CSV line per stream after a
// header line:
//   country,channel,name,stream,address,result,reason,kbps,height,codecs,first_packet_ms
// `results[i]` belongs to `streams[i]`. Fields are quoted as RFC 4180
// asks; a field that a spreadsheet would take for a formula (a name from a
// catalogue starting with "=", "+", "-" or "@") gets a leading "'".
std::string CheckReportText(const std::vector<CatalogueStream>& streams,
                            const std::vector<ProbeResult>& results);

// Writes the report to "PATH.tmp" and renames it over PATH; false, with
// nothing left behind, when that fails.
bool WriteCheckReport(const std::string& path, const std::string& text);

}  // namespace lumora::tools
