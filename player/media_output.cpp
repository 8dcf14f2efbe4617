#include "player/media_output.h"

#include <QWidget>

#include "player/output_registry.h"

namespace lumora {

MediaOutput::MediaOutput(std::string name) : name_(std::move(name)) {
    TheOutputRegistry().Register(name_, this);
}

MediaOutput::~MediaOutput() {
    TheOutputRegistry().Unregister(name_, this);
}

void MediaOutput::Move(int x, int y, int width, int height) {
    if (window_ != nullptr)
        window_->setGeometry(x, y, width, height);
}

void MediaOutput::SetVolume(int) {}

void MediaOutput::ToggleFullScreen() {}

bool MediaOutput::IsFullScreen() const {
    return false;
}

}  // namespace lumora
