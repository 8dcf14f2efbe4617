// The update wait dialog: its texts, its heading when the download begins,
// its end when the worker is done, and an early end while the worker runs.

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "net/update_logic_run.h"
#include "process_state.h"
#include "resources/resources.h"
#include "scratch_folder.h"
#include "server_process.h"
#include "shell/app/localise.h"
#include "shell/dialogs/update_dialog.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

using namespace std::chrono_literals;

std::unique_ptr<MemoryStream> Document(const std::string& rootName) {
    DocNode root(rootName);
    DocNode* channel = root.AddChild("de")->AddChild("one");
    channel->SetWString("n", u"One");
    channel->AddChild("0")->SetWString("u", u"http://example.org/one.m3u8");
    auto bytes = std::make_unique<MemoryStream>();
    root.WriteTo(*bytes);
    bytes->Seek(0, SeekOrigin::Begin);
    return bytes;
}

UpdateDialog* OpenUpdateDialog() {
    return qobject_cast<UpdateDialog*>(QApplication::activeModalWidget());
}

QString Heading(UpdateDialog* dialog) {
    return dialog ? dialog->windowTitle() : QString();
}

// Calls `step` every 10 ms inside the dialog's modal loop until it returns true.
void WhileModal(std::function<bool()> step) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step = std::move(step)] {
        if (step())
            timer->deleteLater();
    });
    timer->start(10);
}

// A server stand-in whose answers wait until the test lets them go.
struct GatedServer {
    std::promise<void> markerGate;
    std::shared_future<void> markerGo = markerGate.get_future().share();
    std::promise<void> catalogueGate;
    std::shared_future<void> catalogueGo = catalogueGate.get_future().share();

    FetchFunction Fetch() {
        return [markerGo = markerGo, catalogueGo = catalogueGo](const std::u16string& url) {
            const bool marker = url.ends_with(u"/cupdate.dat");
            (marker ? markerGo : catalogueGo).wait_for(30s);
            return Document("9.9");
        };
    }
};

class UpdateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        test::LoadShippedInterface(96);
        folder = scratch.Path();
        std::unique_ptr<MemoryStream> old = Document("1.0");
        std::ofstream(folder / "Channels.lmch", std::ios::binary)
            .write(reinterpret_cast<const char*>(old->Data()), old->Size());
        oldBytes = test::ReadFileBytes(folder / "Channels.lmch");
    }

    UpdateSource Source() {
        UpdateSource source;
        source.server = u"http://updates.invalid";
        source.catalogueVersion = "1.0";
        source.cataloguePath = FromUtf8((folder / "Channels.lmch").string());
        source.fetch = server.Fetch();
        return source;
    }
    UpdateUi Ui() {
        UpdateUi ui;
        ui.runDialog = [this](const std::shared_ptr<UpdateRun>& run) {
            lastRun = run;
            RunUpdateModal(nullptr, run);
        };
        ui.stopPlayback = [this] { events.push_back("stop"); };
        ui.reloadCatalogue = [this] { events.push_back("reload"); };
        ui.showMessage = [this](std::string_view key) { events.push_back(std::string(key)); };
        return ui;
    }

    test::ScratchFolder scratch;
    std::filesystem::path folder;
    std::string oldBytes;
    GatedServer server;
    std::weak_ptr<UpdateRun> lastRun;
    std::vector<std::string> events;
};

TEST_F(UpdateDialogTest, ShowsTheWaitTextsChangesItsHeadingAndEndsWithTheWorker) {
    QString firstHeading, secondHeading, waitText;
    QSize size;
    int step = 0;
    WhileModal([&] {
        UpdateDialog* dialog = OpenUpdateDialog();
        if (!dialog)
            return false;
        if (step == 0) {
            firstHeading = Heading(dialog);
            if (auto* label = qobject_cast<QLabel*>(DialogItem(dialog, UpdateDialog::kWaitTextId)))
                waitText = label->text();
            size = dialog->size();
            test::SaveScreenshot(*dialog, "update_dialog_checking");
            server.markerGate.set_value();
            step = 1;
        } else if (step == 1 && Heading(dialog) != firstHeading) {
            secondHeading = Heading(dialog);
            test::SaveScreenshot(*dialog, "update_dialog_downloading");
            server.catalogueGate.set_value();
            return true;
        }
        return false;
    });
    EXPECT_EQ(RunCatalogueUpdate(Source(), std::make_shared<UpdateState>(), Ui()),
              UpdateOutcome::Replaced);
    EXPECT_EQ(firstHeading, QString::fromUtf16(LookupText("str_check_updates").c_str()));
    EXPECT_EQ(secondHeading, QString::fromUtf16(LookupText("str_down_channels").c_str()));
    EXPECT_FALSE(firstHeading.isEmpty());
    EXPECT_EQ(waitText, QString::fromUtf16(LookupText("str_wait").c_str()));
    EXPECT_LT(size.width(), 400);  // template size, not full screen
    EXPECT_LT(size.height(), 150);
    EXPECT_EQ(events, (std::vector<std::string>{"stop", "reload", "msg_cupdated"}));
    EXPECT_NE(test::ReadFileBytes(folder / "Channels.lmch"), oldBytes);
}

TEST_F(UpdateDialogTest, EscWhileTheWorkerRunsReportsNoUpdateAndTheWorkerLeavesTheDialogAlone) {
    server.markerGate.set_value();
    WhileModal([&] {
        UpdateDialog* dialog = OpenUpdateDialog();
        if (!dialog ||
            Heading(dialog) != QString::fromUtf16(LookupText("str_down_channels").c_str()))
            return false;
        QTest::keyClick(dialog, Qt::Key_Escape);
        return true;
    });
    EXPECT_EQ(RunCatalogueUpdate(Source(), std::make_shared<UpdateState>(), Ui()),
              UpdateOutcome::None);
    EXPECT_EQ(events, (std::vector<std::string>{"msg_noupdates"}));
    EXPECT_EQ(OpenUpdateDialog(), nullptr);

    // The dialog is gone; the worker now gets its catalogue and finishes.
    server.catalogueGate.set_value();
    for (int waited = 0; !lastRun.expired() && waited < 1000; ++waited) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(5ms);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(lastRun.expired());
    EXPECT_EQ(test::ReadFileBytes(folder / "Channels.lmch"), oldBytes);
    EXPECT_FALSE(std::filesystem::exists(folder / "Channels.lmch.tmp"));
}

}  // namespace
}  // namespace lumora
