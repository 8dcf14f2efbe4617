#include "shell/catalogue_preload.h"

#include <utility>

namespace lumora {
namespace {

CataloguePreload* livingPreload = nullptr;

}  // namespace

CataloguePreload::CataloguePreload() {
    livingPreload = this;
}

CataloguePreload::~CataloguePreload() {
    if (worker_.joinable())
        worker_.join();
    if (livingPreload == this)
        livingPreload = nullptr;
}

void CataloguePreload::Start(const std::u16string& path, std::size_t maxMessages) {
    if (pending_)
        return;
    pending_ = true;
    result_ = {};
    result_.catalogue = std::make_unique<Catalogue>();
    // The settings belong to the UI thread: the worker gets a copy.
    worker_ = std::thread([this, path, maxMessages, saved = SavedChannelStates()]() mutable {
        PreloadedCatalogue& result = result_;
        const CatalogueMessageSink collect = [&result, maxMessages](const std::u16string& text) {
            if (result.messages.size() < maxMessages)
                result.messages.push_back(text);
            else
                ++result.withheld;
        };
        result.read = result.catalogue->LoadDetached(path, std::move(saved), collect);
    });
}

PreloadedCatalogue CataloguePreload::Take() {
    if (worker_.joinable())
        worker_.join();
    pending_ = false;
    return std::exchange(result_, {});
}

CataloguePreload* TheCataloguePreload() {
    return livingPreload;
}

}  // namespace lumora
