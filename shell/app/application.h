#pragma once

// The program's state that outlives its windows: the channel catalogue in
// use and its load beside start-up, and what the catalogue update remembers
// between its runs. Start-up makes one and hands it to the main window,
// which hands each part on to whoever needs it; tests make their own.
//
// The catalogue's per-entry messages are shown as message boxes once
// ShowCatalogueMessages has been called, at most kMaxCatalogueMessageBoxes per
// load, followed by one box saying how many more there were.
//
// Threads: the UI thread, but for the update state, which the update's
// workers share (update_state.h).

#include <memory>
#include <string>

#include "net/update_state.h"
#include "shell/app/catalogue_preload.h"

namespace lumora {

class Catalogue;

inline constexpr int kMaxCatalogueMessageBoxes = 5;

class Application {
public:
    Application();
    // Releases the catalogue.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The catalogue in use; null before the first load and after
    // ReleaseCatalogue. It is also the process-wide one (TheCatalogue)
    // that the catalogue's views and the settings read.
    Catalogue* CatalogueInUse() const { return catalogue_.get(); }
    // Replaces the catalogue by the one at `path`.
    Catalogue& LoadCatalogue(const std::u16string& path);
    // The same; true when the file could be read.
    bool LoadCatalogueFile(const std::u16string& path);
    // The catalogue from the user's "Channels.lmch" (made from the shipped
    // one at the first start). A user file that cannot be read is kept as
    // "Channels.lmch.bad" and the shipped catalogue is copied again and used.
    Catalogue& LoadUserCatalogue();
    // Rebuilds the catalogue from its file after an update.
    bool ReloadCatalogue();
    // Makes a catalogue loaded on a worker thread (CataloguePreload) the one
    // in use; with `showMessages` its messages are shown, bounded as at a
    // load. A user file that could not be read goes the way it goes in
    // LoadUserCatalogue.
    void AdoptPreloadedCatalogue(PreloadedCatalogue preloaded, bool showMessages);
    void ReleaseCatalogue();
    // The catalogue the main window opens with: the one at `path` when
    // given; else the one loading since start-up (Preload), waited for, with
    // its messages; else LoadUserCatalogue.
    void LoadWindowCatalogue(const std::u16string& path);

    // The user's catalogue loading beside start-up.
    CataloguePreload& Preload() { return preload_; }

    // From the next load on, the catalogue's messages are shown (message
    // boxes, bounded as above).
    void ShowCatalogueMessages();

    // What the catalogue update remembers between its runs; its workers
    // hold it by SharedUpdates.
    UpdateState& Updates() { return *updates_; }
    const std::shared_ptr<UpdateState>& SharedUpdates() const { return updates_; }

private:
    // Counts the catalogue's messages of one load, so that a catalogue with
    // thousands of bad entries costs the user a few boxes, not thousands.
    struct MessageCount {
        int shown = 0;
        int withheld = 0;
    };

    // Releases the catalogue in use and makes this one the one in use.
    void TakeCatalogue(std::unique_ptr<Catalogue> catalogue);
    void ShowCatalogueMessage(const std::u16string& text);
    template <typename Load>
    bool WithBoundedMessages(Load load);

    std::unique_ptr<Catalogue> catalogue_;
    CataloguePreload preload_;
    std::shared_ptr<UpdateState> updates_ = std::make_shared<UpdateState>();
    MessageCount messageCount_;
    bool showMessages_ = false;
};

}  // namespace lumora
