#include "shell/app/application.h"

#include <QString>

#include "catalogue/catalogue.h"
#include "catalogue/languages.h"
#include "catalogue/text_format.h"
#include "document/damaged_file.h"
#include "shell/app/data_folders.h"
#include "shell/dialogs/loading_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/main_frame.h"

namespace lumora {
namespace {

// The summary after the catalogue's first messages: one "%d", the number of
// entries not shown.
constexpr char kMoreEntriesKey[] = "msg_more_entries";

// The owner of a message about the catalogue: the splash while start-up
// shows it, so that the message comes over it; else none.
QWidget* CatalogueMessageOwner() {
    const MainFrame* frame = TheMainFrame();
    if (frame != nullptr && frame->isVisible())
        return nullptr;
    return TheLoadingDialog();
}

std::u16string Path(const QString& path) {
    return path.toStdU16String();
}

}  // namespace

Application::Application() = default;

Application::~Application() {
    ReleaseCatalogue();
}

void Application::TakeCatalogue(std::unique_ptr<Catalogue> catalogue) {
    ReleaseCatalogue();
    catalogue_ = std::move(catalogue);
    if (showMessages_)
        catalogue_->SetMessageSink(
            [this](const std::u16string& text) { ShowCatalogueMessage(text); });
}

void Application::ShowCatalogueMessage(const std::u16string& text) {
    if (messageCount_.shown >= kMaxCatalogueMessageBoxes) {
        ++messageCount_.withheld;
        return;
    }
    ++messageCount_.shown;
    // The default caption, a single OK button.
    ShowPlainMessage(CatalogueMessageOwner(), QString::fromStdU16String(text), QString());
}

// Runs one catalogue load with its messages counted, then tells how many
// were withheld.
template <typename Load>
bool Application::WithBoundedMessages(Load load) {
    messageCount_ = {};
    const bool loaded = load();
    if (const int withheld = messageCount_.withheld; withheld > 0) {
        const std::u16string format = LookupTextOr(
            kMoreEntriesKey, u"%d more entries of the channel catalogue were not accepted.");
        ShowPlainMessage(CatalogueMessageOwner(),
                         QString::fromStdU16String(FormatText(format, {withheld})), QString());
    }
    messageCount_ = {};
    return loaded;
}

Catalogue& Application::LoadCatalogue(const std::u16string& path) {
    LoadCatalogueFile(path);
    return *catalogue_;
}

bool Application::LoadCatalogueFile(const std::u16string& path) {
    TakeCatalogue(std::make_unique<Catalogue>());
    Catalogue& catalogue = *catalogue_;
    return WithBoundedMessages([&] { return catalogue.LoadCatalogue(path); });
}

Catalogue& Application::LoadUserCatalogue() {
    const std::u16string path = Path(PrepareUserCatalogue());
    // A user catalogue that cannot be read is kept for the user to recover,
    // and the shipped one takes its place.
    if (!LoadCatalogueFile(path) && SetDamagedFileAside(path))
        LoadCatalogueFile(Path(PrepareUserCatalogue()));
    return *catalogue_;
}

void Application::AdoptPreloadedCatalogue(PreloadedCatalogue preloaded, bool showMessages) {
    ReleaseCatalogue();
    const std::u16string path = preloaded.catalogue->Path();
    if (!preloaded.read && SetDamagedFileAside(path)) {
        LoadCatalogueFile(Path(PrepareUserCatalogue()));
        return;
    }
    TakeCatalogue(std::move(preloaded.catalogue));
    catalogue_->Publish();
    if (!showMessages)
        return;
    WithBoundedMessages([&] {
        for (const std::u16string& text : preloaded.messages)
            ShowCatalogueMessage(text);
        messageCount_.withheld += preloaded.withheld;
        return true;
    });
}

void Application::LoadWindowCatalogue(const std::u16string& path) {
    if (!path.empty())
        LoadCatalogue(path);
    else if (preload_.Pending())
        AdoptPreloadedCatalogue(preload_.Take(), true);
    else
        LoadUserCatalogue();
}

bool Application::ReloadCatalogue() {
    if (catalogue_ == nullptr)
        return false;
    return WithBoundedMessages([&] { return catalogue_->ReloadCatalogue(); });
}

void Application::ReleaseCatalogue() {
    if (catalogue_) {
        catalogue_->ReleaseCatalogue();
        catalogue_.reset();
    }
}

void Application::ShowCatalogueMessages() {
    showMessages_ = true;
}

}  // namespace lumora
