// The dialog frame every dialog is built on: how commands end it, Esc, the
// soft keys, its place over the main window, the template size, the title
// strip and the localising helpers.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "catalogue/languages.h"
#include "catalogue/settings.h"
#include "process_state.h"
#include "resources/resources.h"
#include "shell/app/commands.h"
#include "shell/app/localise.h"
#include "shell/dialogs/dialog_frame.h"
#include "shell/widgets/soft_key_bar.h"
#include "shell_test_support.h"

namespace lumora {
namespace {

// A dialog that handles one command itself and records the rest.
class ProbeDialog : public DialogFrame {
public:
    explicit ProbeDialog(DialogSize size, QSize units = {})
        : DialogFrame(nullptr, size, TitleStrip::Shown, units) {}
    int handledCommand = -1;
    int handledCount = 0;
    QSize lastClientSize;

protected:
    bool OnCommand(int command) override {
        if (command != handledCommand)
            return false;
        ++handledCount;
        return true;
    }
    void OnSize(int width, int height) override { lastClientSize = QSize(width, height); }
};

// Runs the dialog modally and, once it is up, does `action` inside its loop.
template <typename Action>
int RunWith(DialogFrame& dialog, Action action) {
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        action();
    });
    // Never hang: a dialog still open after a few seconds ends with 99.
    QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(99); });
    return dialog.exec();
}

class DialogFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        test::LoadShippedInterface(96);
    }
};

TEST_F(DialogFrameTest, FrameCommandsEndTheDialogWithOneOrTwo) {
    const std::vector<std::pair<int, int>> rows = {
        {IDOK, 1}, {ID_SOFTKEY_DONE, 1}, {IDCANCEL, 2}, {ID_SOFTKEY_CANCEL, 2}};
    for (auto [command, result] : rows) {
        SCOPED_TRACE(command);
        ProbeDialog dialog(DialogSize::FullScreen);
        EXPECT_EQ(RunWith(dialog, [&] { dialog.DispatchCommand(command); }), result);
    }
}

TEST_F(DialogFrameTest, CommandsTheDialogHandlesDoNotEndIt) {
    ProbeDialog dialog(DialogSize::FullScreen);
    dialog.handledCommand = ID_SOFTKEY_DONE;
    const int result = RunWith(dialog, [&] {
        dialog.DispatchCommand(ID_SOFTKEY_DONE);
        dialog.DispatchCommand(4711);  // neither handled nor a frame command
        EXPECT_TRUE(dialog.isVisible());
        dialog.DispatchCommand(ID_SOFTKEY_CANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(dialog.handledCount, 1);
}

TEST_F(DialogFrameTest, EscEndsWithTwoAndSoftKeysSendTheirCommands) {
    {
        ProbeDialog dialog(DialogSize::FullScreen);
        EXPECT_EQ(RunWith(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), 2);
    }
    {
        ProbeDialog dialog(DialogSize::FullScreen);
        ASSERT_NE(dialog.SoftKeys(), nullptr);
        dialog.SoftKeys()->SetKey(SoftKey::Left, QStringLiteral("OK"), ID_SOFTKEY_DONE);
        dialog.SoftKeys()->SetKey(SoftKey::Right, QStringLiteral("Cancel"), ID_SOFTKEY_CANCEL);
        EXPECT_EQ(RunWith(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_F1); }), 1);
    }
    {
        ProbeDialog dialog(DialogSize::FullScreen);
        dialog.SoftKeys()->SetKey(SoftKey::Right, QStringLiteral("Cancel"), ID_SOFTKEY_CANCEL);
        EXPECT_EQ(RunWith(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_F2); }), 2);
    }
}

TEST_F(DialogFrameTest, FullScreenCoversTheHandheldAreaAboveItsSoftKeys) {
    ProbeDialog dialog(DialogSize::FullScreen);
    RunWith(dialog, [&] {
        EXPECT_EQ(dialog.size(), HandheldWindowSize());
        const int bar = BarHeight();
        EXPECT_EQ(dialog.ClientRect(), QRect(0, 0, dialog.width(), dialog.height() - bar));
        EXPECT_EQ(dialog.lastClientSize, dialog.ClientRect().size());
        EXPECT_EQ(dialog.SoftKeys()->geometry(),
                  QRect(0, dialog.height() - bar, dialog.width(), bar));
        test::SaveScreenshot(dialog, QStringLiteral("dialog_frame_full_screen"));
        dialog.done(2);
    });
}

TEST_F(DialogFrameTest, TemplateSizeFollowsDialogUnitsAndHasNoSoftKeys) {
    ProbeDialog dialog(DialogSize::Template, QSize(137, 35));
    EXPECT_EQ(dialog.SoftKeys(), nullptr);
    const QRect expected = dialog.MapDialogRect(QRect(0, 0, 137, 35));
    const QFontMetrics metrics(dialog.font());
    EXPECT_EQ(expected.width(), 137 * metrics.averageCharWidth() / 4);
    EXPECT_EQ(expected.height(), 35 * metrics.height() / 8);
    RunWith(dialog, [&] {
        EXPECT_EQ(dialog.size(), expected.size());
        EXPECT_EQ(dialog.ClientRect(), dialog.rect());
        dialog.DispatchCommand(IDOK);
    });
}

TEST_F(DialogFrameTest, TitleStripShowsTheWindowTitleOverTheBarBackground) {
    ProbeDialog dialog(DialogSize::FullScreen);
    dialog.setWindowTitle(QStringLiteral("WWWWWWWW"));
    RunWith(dialog, [&] {
        const QImage image = dialog.grab().toImage();
        const int bar = BarHeight();
        // The strip: the bar bitmap; below it the background brush.
        EXPECT_EQ(QColor(image.pixel(dialog.width() - 1, 1)).rgb(),
                  QColor(BarBitmap().pixel(9, 1)).rgb());
        EXPECT_EQ(QColor(image.pixel(dialog.width() / 2, bar + 2)), BackgroundBrush().color());
        // Some title pixel is the title colour.
        bool titleSeen = false;
        for (int x = 3; x < dialog.width() / 2 && !titleSeen; ++x)
            for (int y = 0; y < 5 * bar / 6 && !titleSeen; ++y)
                titleSeen = QColor(image.pixel(x, y)) == QColor(250, 250, 255);
        EXPECT_TRUE(titleSeen);
        test::SaveScreenshot(dialog, QStringLiteral("dialog_frame_title_strip"));
        dialog.done(1);
    });
}

TEST_F(DialogFrameTest, LabelsUseTheLightTextColour) {
    ProbeDialog dialog(DialogSize::FullScreen);
    auto* label = new QLabel(QStringLiteral("x"), &dialog);
    auto* check = new QCheckBox(QStringLiteral("y"), &dialog);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), LightTextColour());
    EXPECT_EQ(check->palette().color(QPalette::WindowText), LightTextColour());
}

TEST_F(DialogFrameTest, LocalisingReplacesKeysWithTextsAndKeepsTheRest) {
    const QString aboutText = QString::fromStdU16String(LookupText("menu_about"));
    ASSERT_FALSE(aboutText.isEmpty());
    QWidget dialog;
    dialog.setWindowTitle(QStringLiteral("menu_settings"));
    auto* label = new QLabel(QStringLiteral("static_language"), &dialog);
    auto* check = new QCheckBox(QStringLiteral("check_cupdate"), &dialog);
    auto* plain = new QLabel(QStringLiteral("http://example.org"), &dialog);
    auto* unknown = new QLabel(QStringLiteral("no_such_key_at_all"), &dialog);
    SetControlId(label, 1010);
    SetControlId(check, 1018);

    LocaliseWindowTree(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QString::fromStdU16String(LookupText("menu_settings")));
    EXPECT_EQ(label->text(), QString::fromStdU16String(LookupText("static_language")));
    EXPECT_EQ(check->text(), QString::fromStdU16String(LookupText("check_cupdate")));
    EXPECT_EQ(plain->text(), QStringLiteral("http://example.org"));
    EXPECT_EQ(unknown->text(), QStringLiteral("no_such_key_at_all"));

    EXPECT_EQ(DialogItem(&dialog, 1018), check);
    EXPECT_EQ(DialogItem(&dialog, 999), nullptr);
    SetItemTextByKey(&dialog, 1010, "menu_about");
    EXPECT_EQ(label->text(), aboutText);
    SetItemTextByKey(&dialog, 999, "menu_about");  // no such control: nothing
    SetWindowTextByKey(&dialog, "no_such_key_at_all");
    EXPECT_TRUE(dialog.windowTitle().isEmpty() || dialog.windowTitle() == QStringLiteral(" "));
}

}  // namespace
}  // namespace lumora
