#include "probe/probe_result.h"

namespace lumora {

std::string_view OutcomeText(ProbeOutcome outcome) {
    switch (outcome) {
    case ProbeOutcome::Working: return "working";
    case ProbeOutcome::Refused: return "refused";
    case ProbeOutcome::TimedOut: return "timed out";
    case ProbeOutcome::HttpError: return "http error";
    case ProbeOutcome::NotMedia: return "not media";
    case ProbeOutcome::RefusedAddress: return "refused address";
    case ProbeOutcome::Failed: return "failed";
    case ProbeOutcome::Interrupted: return "interrupted";
    }
    return "failed";
}

}  // namespace lumora
