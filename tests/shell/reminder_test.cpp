// Reminders: the schedule's reminder comes due a minute before its
// programme, and the desktop notification goes through a private D-Bus
// session to a stand-in notification service, whose "Watch" action asks for
// the channel; without a service the text goes to the status line.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include "catalogue/channel.h"
#include "process_state.h"
#include "scratch_folder_qt.h"
#include "shell/desktop/reminder_notifier.h"
#include "shell/main_window/recording_control.h"

namespace lumora {
namespace {

// A session bus of the test's own, ended with the object.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--print-address"),
                       QStringLiteral("--nofork")});
        if (!daemon_.waitForStarted(5000))
            return;
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    const QString& Address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

// What a desktop's notification service does, as far as the reminder needs.
class NotificationStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        QString summary;
        QString body;
        QStringList actions;
    };
    QList<Shown> shown;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        shown.push_back({summary, body, actions});
        return uint(shown.size()) + 40;
    }
};

class ReminderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetProcessState();
        if (bus_.Address().isEmpty())
            GTEST_SKIP() << "no dbus-daemon";
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("reminder-standin"));
        QDBusConnection::disconnectFromBus(QStringLiteral("reminder-player"));
    }

    QDBusConnection Connect(const QString& name) {
        return QDBusConnection::connectToBus(bus_.Address(), name);
    }
    void ServeNotifications() {
        QDBusConnection service = Connect(QStringLiteral("reminder-standin"));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                           &standIn_, QDBusConnection::ExportAllSlots));
    }
    void Invoke(uint id, const QString& action) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << action;
        QDBusConnection(QStringLiteral("reminder-standin")).send(signal);
    }

    PrivateBus bus_;
    NotificationStandIn standIn_;
};

TEST_F(ReminderTest, TheNotificationsWatchActionAsksForItsChannel) {
    ServeNotifications();
    ReminderNotifier notifier(Connect(QStringLiteral("reminder-player")));
    QSignalSpy watch(&notifier, &ReminderNotifier::watchRequested);
    QSignalSpy unavailable(&notifier, &ReminderNotifier::unavailable);
    notifier.Notify(QStringLiteral("de_one"), QStringLiteral("Tatort"),
                    QStringLiteral("Starts in a minute on Das Erste"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return standIn_.shown.size() == 1; }, 5000));
    EXPECT_EQ(standIn_.shown[0].summary, QStringLiteral("Tatort"));
    EXPECT_EQ(standIn_.shown[0].body, QStringLiteral("Starts in a minute on Das Erste"));
    ASSERT_GE(standIn_.shown[0].actions.size(), 2);
    EXPECT_EQ(standIn_.shown[0].actions[0], QStringLiteral("watch"));
    QTest::qWait(100);  // the reply with the notification's id

    // Another notification's action, or another action, asks for nothing.
    Invoke(99, QStringLiteral("watch"));
    Invoke(41, QStringLiteral("default"));
    Invoke(41, QStringLiteral("watch"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.size() == 1; }, 5000));
    EXPECT_EQ(watch[0][0].toString(), QStringLiteral("de_one"));
    QTest::qWait(100);
    EXPECT_EQ(watch.size(), 1);
    EXPECT_EQ(unavailable.size(), 0);
}

TEST_F(ReminderTest, WithoutANotificationServiceTheTextIsHandedOn) {
    ReminderNotifier notifier(Connect(QStringLiteral("reminder-player")));
    QSignalSpy unavailable(&notifier, &ReminderNotifier::unavailable);
    notifier.Notify(QStringLiteral("de_one"), QStringLiteral("Tatort"), QStringLiteral("soon"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return unavailable.size() == 1; }, 5000));
    EXPECT_EQ(unavailable[0][0].toString(), QStringLiteral("Tatort: soon"));

    ReminderNotifier noBus(QDBusConnection(QStringLiteral("no-such-connection")));
    QSignalSpy told(&noBus, &ReminderNotifier::unavailable);
    noBus.Notify(QStringLiteral("de_one"), QStringLiteral("Tatort"), QStringLiteral("soon"));
    EXPECT_EQ(told.size(), 1);
}

TEST_F(ReminderTest, AReminderComesDueAMinuteBeforeItsProgrammeOnce) {
    test::ScratchFolder folder;
    RecordingControl control(test::QtPath(folder, "Recordings.lmrc"));
    QSignalSpy due(&control, &RecordingControl::reminderDue);
    Channel channel;
    channel.id = "de_one";
    channel.name = u"Eins";
    const std::int64_t now = ProgrammeGuide::Now();
    using Result = RecordingControl::ScheduleResult;
    EXPECT_EQ(control.Remind(channel, {1, now + 30, now + 600, "Soon"}), Result::Scheduled);
    EXPECT_EQ(control.Remind(channel, {1, now + 30, now + 600, "Soon"}), Result::AlreadyThere);
    EXPECT_EQ(control.Remind(channel, {2, now + 3600, now + 7200, "Later"}), Result::Scheduled);
    EXPECT_EQ(control.Remind(channel, {3, now - 30, now + 600, "On now"}), Result::Ended);
    control.Poll();
    control.Poll();
    ASSERT_EQ(due.size(), 1);
    EXPECT_EQ(due[0][0].toString(), QStringLiteral("de_one"));
    EXPECT_EQ(due[0][1].toString(), QStringLiteral("Eins"));
    EXPECT_EQ(due[0][2].toString(), QStringLiteral("Soon"));
    EXPECT_EQ(due[0][3].toLongLong(), now + 30);
    // Kept with the recordings, and not recorded.
    EXPECT_FALSE(control.Recording("de_one"));
    RecordingControl again(test::QtPath(folder, "Recordings.lmrc"));
    ASSERT_EQ(again.Entries().Entries().size(), 2u);
    EXPECT_TRUE(again.Entries().Entries()[1].reminder);
    EXPECT_EQ(again.Entries().Entries()[1].state, ScheduleState::Scheduled);
}

}  // namespace
}  // namespace lumora

#include "reminder_test.moc"
