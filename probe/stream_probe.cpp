#include "probe/stream_probe.h"

#include <string_view>

#include "catalogue/stream_address.h"
#include "probe/probe_engine.h"

namespace lumora {
namespace {

ProbeResult Outcome(ProbeOutcome outcome, std::string reason) {
    ProbeResult result;
    result.outcome = outcome;
    result.reason = std::move(reason);
    return result;
}

}  // namespace

ProbeResult ProbeStream(const ProbeRequest& request, const std::atomic<bool>& stop) {
    // The rule comes first: a refused address never reaches libavformat.
    if (!IsPlayableAddress(std::string_view(request.address)))
        return Outcome(ProbeOutcome::RefusedAddress, "refused address");
    if (stop.load())
        return Outcome(ProbeOutcome::Interrupted, "interrupted");
    std::string problem;
    ProbeEntry probe = LoadProbeEngine(&problem);
    if (probe == nullptr)
        return Outcome(ProbeOutcome::Failed, problem);
    ProbeResult result;
    probe(request, stop, result);
    return result;
}

}  // namespace lumora
