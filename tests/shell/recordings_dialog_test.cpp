// The recordings list: every entry newest first with its state, and Delete
// that asks first, cancels, and deletes a recording's file only from the
// recordings folder.

#include <QListWidget>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "process_state.h"
#include "record/recording_schedule.h"
#include "scratch_folder_qt.h"
#include "shell/app/localise.h"
#include "shell/dialogs/recordings_dialog.h"
#include "shell/dialogs/show_text_message.h"
#include "shell/main_window/recording_control.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

constexpr std::int64_t kEight = 1'765'310'400;

class RecordingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        qputenv("HOME", QByteArray::fromStdString(home_.Path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home_.Path(".config").string()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        qputenv("HOME", oldHome_);
        if (oldConfig_.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig_);
        test::ResetProcessState();
    }

    // A recording made, with its file, and one planned.
    void WriteSchedule(const std::filesystem::path& recorded) {
        std::ofstream(recorded) << "recorded";
        RecordingSchedule schedule;
        ScheduledRecording done;
        done.channelId = "de_one";
        done.channelName = "Eins";
        done.title = "Tagesschau";
        done.start = kEight;
        done.stop = kEight + 900;
        const auto id = *schedule.Add(done);
        schedule.MarkRunning(id, recorded.string());
        RecordingOutcome outcome;
        outcome.status = RecordingStatus::Completed;
        outcome.bytes = 8;
        schedule.MarkEnded(id, outcome);
        ScheduledRecording later = done;
        later.title = "Tatort";
        later.start = kEight + 86400 * 3650;
        later.stop = later.start + 5400;
        schedule.Add(later);
        ASSERT_TRUE(schedule.Save(path_.toStdU16String()));
    }

    const QByteArray oldHome_ = qgetenv("HOME");
    const QByteArray oldConfig_ = qgetenv("XDG_CONFIG_HOME");
    test::ScratchFolder home_;
    test::ScratchFolder data_;
    const std::filesystem::path folder_ = home_.Path("Videos/Lumora");
    const QString path_ = test::QtPath(data_, "Recordings.lmrc");
};

TEST_F(RecordingsDialogTest, ListsNewestFirstAndDeletesAfterAskingFirst) {
    const std::filesystem::path recorded = folder_ / "Eins \u2013 Tagesschau.ts";
    WriteSchedule(recorded);
    RecordingControl recordings(path_);
    RecordingsDialog dialog(nullptr, recordings);
    QListWidget& list = dialog.List();
    ASSERT_EQ(list.count(), 2);
    EXPECT_TRUE(list.item(0)->text().startsWith(QStringLiteral("Tatort\nEins")));
    EXPECT_TRUE(list.item(0)->text().contains(Text("str_rec_scheduled")));
    EXPECT_TRUE(list.item(1)->text().startsWith(QStringLiteral("Tagesschau\nEins")));
    EXPECT_TRUE(list.item(1)->text().contains(Text("str_rec_done")));

    test::RecordedMessages messages;
    messages.answer = kMessageResultNo;
    list.setCurrentRow(1);
    dialog.DispatchCommand(RecordingsDialog::kDeleteCommand);
    EXPECT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(list.count(), 2);
    EXPECT_TRUE(std::filesystem::exists(recorded));

    messages.answer = kMessageResultYes;
    dialog.DispatchCommand(RecordingsDialog::kDeleteCommand);
    EXPECT_FALSE(std::filesystem::exists(recorded));
    ASSERT_EQ(list.count(), 1);
    EXPECT_TRUE(list.item(0)->text().startsWith(QStringLiteral("Tatort")));
    // The scheduled one is cancelled; the file keeps what is left.
    list.setCurrentRow(0);
    dialog.DispatchCommand(RecordingsDialog::kDeleteCommand);
    EXPECT_EQ(list.count(), 1);  // the "no recordings" line
    EXPECT_FALSE(list.item(0)->data(Qt::UserRole).isValid());
    RecordingSchedule saved;
    ASSERT_TRUE(saved.Load(path_.toStdU16String()));
    EXPECT_TRUE(saved.Entries().empty());
}

TEST_F(RecordingsDialogTest, RowsTellWhereTheStreamWasLostAndWhatWasMissedMeanwhile) {
    const std::int64_t past = kEight;
    RecordingSchedule schedule;
    ScheduledRecording entry;
    entry.channelId = "de_one";
    entry.channelName = "Eins";
    entry.start = past;
    entry.stop = past + 3600;
    const struct {
        const char* title;
        int gaps;  // the recording ran with this many gaps; -1: it never ran
        QString shown;
    } rows[] = {
        {"Reconnected", 2, QStringLiteral("gaps: 2 (at 12:34 for 31 s; at 30:00 for 12 s)")},
        {"Many", 25, QStringLiteral("gaps: 25 (at 00:00 for 1 s; at 00:01 for 1 s;")},
        {"Clean", 0, Text("str_rec_done")},
        {"Passed meanwhile", -1, Text("str_rec_missed")},
    };
    for (const auto& row : rows) {
        entry.title = row.title;
        const std::int32_t id = *schedule.Add(entry);
        if (row.gaps < 0)
            continue;
        schedule.MarkRunning(id, (folder_ / "x.ts").string());
        RecordingOutcome outcome;
        outcome.status = RecordingStatus::Completed;
        if (row.gaps == 2)
            outcome.gaps = {{754, 31}, {1800, 12}};
        for (int i = 0; row.gaps > 2 && i < row.gaps; ++i)
            outcome.gaps.push_back({double(i), 1});
        schedule.MarkEnded(id, outcome);
    }
    ASSERT_TRUE(schedule.Save(path_.toStdU16String()));
    // Lumora starts again long after: what was due meanwhile was missed.
    RecordingControl recordings(path_);
    RecordingsDialog dialog(nullptr, recordings);
    QListWidget& list = dialog.List();
    ASSERT_EQ(list.count(), int(std::size(rows)));
    for (const auto& row : rows) {
        const QList<QListWidgetItem*> found =
            list.findItems(QString::fromUtf8(row.title) + QLatin1Char('\n'), Qt::MatchStartsWith);
        ASSERT_EQ(found.size(), 1) << row.title;
        EXPECT_TRUE(found[0]->text().contains(row.shown)) << found[0]->text().toStdString();
        EXPECT_EQ(found[0]->text().contains(QStringLiteral("gaps:")), row.gaps > 0) << row.title;
    }
}

TEST_F(RecordingsDialogTest, DeleteNeverRemovesAFileOutsideTheRecordingsFolder) {
    const std::filesystem::path elsewhere = home_.Path("thesis.ts");
    WriteSchedule(elsewhere);
    RecordingControl recordings(path_);
    const std::int32_t id = recordings.Entries().Entries()[0].id;
    EXPECT_TRUE(recordings.Delete(id));
    EXPECT_TRUE(std::filesystem::exists(elsewhere));
    EXPECT_FALSE(recordings.Delete(id));
}

}  // namespace
}  // namespace lumora
