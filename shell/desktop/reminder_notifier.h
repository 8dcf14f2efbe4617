#pragma once

// Reminders as desktop notifications: org.freedesktop.Notifications over
// D-Bus, with a "Watch" action that asks for the programme's channel. When
// no notification service answers, `unavailable` carries the text, for the
// main window's status line. Calls never wait for the bus. UI thread only.

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

namespace lumora {

class ReminderNotifier : public QObject {
    Q_OBJECT

public:
    // `bus`: the session bus (tests pass a private one).
    explicit ReminderNotifier(QDBusConnection bus, QObject* parent = nullptr);

    // Shows the notification for the channel's programme.
    void Notify(const QString& channelId, const QString& summary, const QString& body);

signals:
    // "Watch" was chosen on the notification of this channel.
    void watchRequested(const QString& channelId);
    // No notification service took it: the text to show instead.
    void unavailable(const QString& text);

private slots:
    void OnActionInvoked(uint id, const QString& action);

private:
    QDBusConnection bus_;
    // Notification id -> channel id, for the notifications shown.
    QHash<uint, QString> shown_;
};

}  // namespace lumora
