#include "process_state.h"

#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/settings.h"

namespace lumora::test {
namespace {

std::vector<void (*)()>& LayerResets() {
    static std::vector<void (*)()> resets;
    return resets;
}

}  // namespace

void ResetProcessState() {
    ResetSettings();
    for (void (*reset)() : LayerResets())
        reset();
}

void AddProcessStateReset(void (*reset)()) {
    LayerResets().push_back(reset);
}

}  // namespace lumora::test
