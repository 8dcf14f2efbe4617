#include "shell/desktop/reminder_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "shell/app/localise.h"

namespace lumora {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kWatchAction = QStringLiteral("watch");
// Notifications shown and not acted on are forgotten beyond this many.
constexpr int kMostRemembered = 64;

}  // namespace

ReminderNotifier::ReminderNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    if (bus_.isConnected()) {
        bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(OnActionInvoked(uint, QString)));
    }
}

void ReminderNotifier::Notify(const QString& channelId, const QString& summary,
                              const QString& body) {
    const QString text = summary + QStringLiteral(": ") + body;
    if (!bus_.isConnected()) {
        emit unavailable(text);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Lumora") << uint(0) << QStringLiteral("lumora") << summary << body
         << QStringList{kWatchAction, Text("menu_watch")} << QVariantMap() << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, channelId, text] {
        const QDBusPendingReply<uint> reply = *watcher;
        watcher->deleteLater();
        if (reply.isError()) {
            emit unavailable(text);
            return;
        }
        if (shown_.size() >= kMostRemembered)
            shown_.clear();
        shown_.insert(reply.value(), channelId);
    });
}

void ReminderNotifier::OnActionInvoked(uint id, const QString& action) {
    const auto found = shown_.find(id);
    if (found == shown_.end() || action != kWatchAction)
        return;
    const QString channelId = found.value();
    shown_.erase(found);
    emit watchRequested(channelId);
}

}  // namespace lumora
