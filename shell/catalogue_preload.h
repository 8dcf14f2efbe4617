#pragma once

// The user's catalogue, loaded on a worker thread while Qt, the splash and
// the main window are made, so that a large catalogue keeps neither the
// splash nor the window off the screen. The window takes the catalogue when
// the load has ended, or earlier when a command needs it.
//
// Threads: the object and its signal belong to the UI thread. The load runs
// on a thread of its own and touches only the catalogue it builds, the
// language texts and its copy of the saved channel state.

#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

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

class CataloguePreload : public QObject {
    Q_OBJECT

public:
    // Registers as the process's preload (TheCataloguePreload) while it lives.
    CataloguePreload();
    // Waits for a load that is still running.
    ~CataloguePreload() override;
    CataloguePreload(const CataloguePreload&) = delete;
    CataloguePreload& operator=(const CataloguePreload&) = delete;

    // Starts loading the file at `path` with the channel state the settings
    // hold now; at most `maxMessages` messages are kept.
    void Start(const std::u16string& path, std::size_t maxMessages);
    // Started and not taken yet.
    bool Pending() const { return pending_; }
    // The load has ended and `loaded` has been sent.
    bool Ended() const { return ended_; }
    // Waits for the load to end and hands over what it made.
    PreloadedCatalogue Take();

signals:
    // The load has ended; delivered on the UI thread.
    void loaded();

private:
    std::thread worker_;
    PreloadedCatalogue result_;
    bool pending_ = false;
    bool ended_ = false;
};

// The living preload; null when none was made.
CataloguePreload* TheCataloguePreload();

}  // namespace lumora
