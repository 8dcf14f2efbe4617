#pragma once

// The user's catalogue, loaded on a worker thread from right after the
// settings and the language pack, so that its load overlaps the interface
// resources, the splash and the building of the main window. The player
// view takes it while the main window is built, before it is shown.
//
// Threads: the object belongs to the UI thread. The load runs on a thread
// of its own and touches only the catalogue it builds, the language texts
// (once it has its state: the pack is loaded by then) and its copy of the
// saved channel state.

#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/catalogue.h"

namespace lumora {

// What a load away from the UI thread made.
struct PreloadedCatalogue {
    std::unique_ptr<Catalogue> catalogue;
    // False when the file could not be read.
    bool read = false;
    // The first per-entry messages, and how many more there were.
    std::vector<std::u16string> messages;
    int withheld = 0;
};

class CataloguePreload {
public:
    CataloguePreload() = default;
    // Waits for a load that is still running.
    ~CataloguePreload();
    CataloguePreload(const CataloguePreload&) = delete;
    CataloguePreload& operator=(const CataloguePreload&) = delete;

    // Starts loading the file at `path` with the channel state the settings
    // hold now; at most `maxMessages` messages are kept. `loaded`, when
    // given, is called on the worker once the load has ended.
    void Start(const std::u16string& path, std::size_t maxMessages,
               std::function<void()> loaded = {});
    // The same, started before the settings' channel state and the language
    // pack are loaded: the worker reads the file meanwhile and then waits
    // for GiveState, which comes once both are (Take and the destructor
    // give the settings' state if nothing did).
    void StartBeforeState(const std::u16string& path, std::size_t maxMessages,
                          std::function<void()> loaded = {});
    void GiveState(std::shared_ptr<const ChannelStateTable> saved);
    // Started and not taken yet.
    bool Pending() const { return pending_; }
    // Waits for the load to end and hands over what it made.
    PreloadedCatalogue Take();

private:
    void Launch(const std::u16string& path, std::size_t maxMessages, std::function<void()> loaded);

    std::thread worker_;
    // The state the load waits for, given once.
    std::promise<std::shared_ptr<const ChannelStateTable>> state_;
    bool stateGiven_ = true;
    PreloadedCatalogue result_;
    bool pending_ = false;
};

}  // namespace lumora
