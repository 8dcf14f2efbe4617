#include "shell_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include "catalogue/languages.h"
#include "document/doc_node.h"
#include "document/text_encoding.h"
#include "process_state.h"
#include "resources/resources.h"
#include "scratch_folder_qt.h"
#include "shell/app/shell_hooks.h"
#include "shell/dialogs/show_text_message.h"

namespace lumora::test {
namespace {

// The shell's part of every ResetProcessState: no hooks.
void ResetShellState() {
    TheShellHooks() = {};
}
const bool kShellStateResets = (AddProcessStateReset(&ResetShellState), true);

// One application object for the whole run; another test file of this
// executable may have made it already.
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() != nullptr)
            return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "shell_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override {
        ReleaseInterfaceResources();
        ReleaseLanguages();
        application_.reset();
    }

private:
    std::unique_ptr<QApplication> application_;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QString BuildDir() {
    return QStringLiteral(LUMORA_BUILD_DIR);
}

QString SaveScreenshot(QWidget& widget, const QString& name) {
    const QString folder = BuildDir() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    widget.grab().toImage().save(path);
    return path;
}

IsolatedUserFolders::IsolatedUserFolders()
    : oldDataHome_(qgetenv("XDG_DATA_HOME")),
      oldCacheHome_(qgetenv("XDG_CACHE_HOME")),
      oldRuntimeDir_(qgetenv("XDG_RUNTIME_DIR")) {
    QFile::setPermissions(test::QtPath(runtime_),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_DATA_HOME", test::QtPath(data_).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", test::QtPath(runtime_).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", test::QtPath(cache_).toLocal8Bit());
}

IsolatedUserFolders::~IsolatedUserFolders() {
    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("XDG_DATA_HOME", oldDataHome_);
    restore("XDG_RUNTIME_DIR", oldRuntimeDir_);
    restore("XDG_CACHE_HOME", oldCacheHome_);
}

bool WriteCatalogue(const QString& path, const std::string& version,
                    const std::vector<TestChannel>& channels,
                    const std::u16string& guideAddresses) {
    DocNode root(version);
    if (!guideAddresses.empty())
        root.SetWString("url-tvg", guideAddresses);
    for (const TestChannel& channel : channels) {
        DocNode* country = root.Child(channel.country, ChildMode::CreateIfMissing);
        DocNode* node = country->AddChild(channel.key);
        node->SetWString("n", channel.name);
        node->SetString("p", "1");
        node->SetString("c", channel.category);
        if (!channel.tvgId.empty())
            node->SetWString("tvg-id", channel.tvgId);
        WriteCatchupAttributes(channel.catchup, *node);
        for (std::size_t i = 0; i < channel.addresses.size(); ++i) {
            DocNode* stream = node->AddChild(std::to_string(i));
            stream->SetInt("b", 500);
            stream->SetWString("u", channel.addresses[i]);
            if (i < channel.userAgents.size() && !channel.userAgents[i].empty())
                stream->SetWString("ua", channel.userAgents[i]);
        }
    }
    return root.SaveToFile(path.toStdU16String());
}

PlayerViewOptions FakePlayerOptions(const QString& cataloguePath, FakeOutput*& player) {
    PlayerViewOptions options;
    options.cataloguePath = cataloguePath.toStdU16String();
    options.playerFactory = [&player](QWidget* parent, const QRect& rect) {
        auto output = std::make_unique<FakeOutput>(parent, rect);
        player = output.get();
        return output;
    };
    return options;
}

FakeOutput::FakeOutput(QWidget* parent, const QRect& rect) : MediaOutput("m"), parent_(parent) {
    window_ = new QWidget(parent);
    window_->setGeometry(rect);
    window_->setAutoFillBackground(true);
    QPalette palette = window_->palette();
    palette.setColor(QPalette::Window, Qt::black);
    window_->setPalette(palette);
    ready_ = true;
}

FakeOutput::~FakeOutput() {
    if (window_ != nullptr && window_->isWindow())
        delete window_;
}

void FakeOutput::FailToStart(bool ready, const std::u16string& reason) {
    ready_ = ready;
    startFailure_ = reason;
}

void FakeOutput::Play(const std::u16string& url) {
    played.push_back(url);
    calls.push_back("play");
}

void FakeOutput::PlayRecording(const RecordingToPlay& recording, RecordingGrowth growth) {
    if (recording.Playable())
        recordings.emplace_back(recording.File(), growth);
    calls.push_back("recording");
}

void FakeOutput::Stop() {
    calls.push_back("stop");
}

void FakeOutput::SetTimeshift(int seconds, const std::string&) {
    timeshiftSeconds = seconds;
    calls.push_back("timeshift");
}

void FakeOutput::SetPaused(bool paused) {
    position.paused = paused;
    calls.push_back("pause");
}

void FakeOutput::SeekTo(double to) {
    position.position = to;
    calls.push_back("seek");
}

void FakeOutput::SetVolume(int value) {
    volume = value;
    calls.push_back("volume");
}

void FakeOutput::SelectAudioTrack(std::int64_t id) {
    for (MediaTrack& track : tracks) {
        if (track.kind == TrackKind::Audio)
            track.selected = track.id == id;
    }
    NotifyTracksChanged();
}

void FakeOutput::SelectSubtitleTrack(std::optional<std::int64_t> id) {
    for (MediaTrack& track : tracks) {
        if (track.kind == TrackKind::Subtitle)
            track.selected = id == track.id;
    }
    NotifyTracksChanged();
}

void FakeOutput::SetTracks(std::vector<MediaTrack> list) {
    tracks = std::move(list);
    NotifyTracksChanged();
}

void FakeOutput::ToggleFullScreen() {
    if (fullScreen_) {
        LeaveFullScreenByItself();
        return;
    }
    fullScreen_ = true;
    window_->setParent(nullptr);
    window_->setGeometry(0, 0, 800, 600);
    window_->show();
}

void FakeOutput::LeaveFullScreenByItself() {
    fullScreen_ = false;
    window_->setParent(parent_);
    // Back in the parent somewhere; the view's layout puts it in its place.
    window_->setGeometry(0, 0, 10, 10);
    window_->show();
}

RecordedMessages::RecordedMessages() {
    SetMessagePresenter([this](QWidget*, const QString& text, const QString&, int) {
        texts.push_back(text);
        return answer;
    });
}

RecordedMessages::~RecordedMessages() {
    SetMessagePresenter({});
}

void LoadShippedInterface(int dpi) {
    const QString build = BuildDir();
    LoadInterfaceResources((build + QStringLiteral("/Resources.velt")).toStdU16String(),
                           (build + QStringLiteral("/cbuild.velt")).toStdU16String(), dpi);
    LoadLanguages((build + QStringLiteral("/Languages.lngp")).toStdU16String());
}

}  // namespace lumora::test
