#pragma once

// The bar at the top of the playing screen: the current channel's name on
// the upper line (small bold font, RGB(250, 250, 255)) and the player's
// status on the lower line (small font, RGB(200, 200, 210)), over the bar
// background, composed off-screen and copied in one block. While a
// programme is set, the lower line shows it instead of the status, and a
// thin line along the bar's bottom edge shows how far it has run.
//
// Screen readers see the two lines as parts of the bar (accessible_widgets):
// the name line as a heading, the status line as a status bar whose every
// change is announced.
//
// Threads: the UI thread only. The player's status reports from other
// threads reach setStatus through queued calls.

#include <QString>
#include <QWidget>

namespace lumora {

class ChannelTitleBar : public QWidget {
    Q_OBJECT
public:
    explicit ChannelTitleBar(QWidget* parent = nullptr);

    // The lines as accessible parts.
    static constexpr int kNamePart = 0;
    static constexpr int kStatusPart = 1;

    // The current channel's display name; empty when no channel is current.
    void setChannelName(const QString& name);
    const QString& channelName() const { return channelName_; }
    // The status line; empty at creation.
    void setStatus(const QString& status);
    const QString& status() const { return status_; }
    // The programme on now ("20:00–21:00 Title") and how far it has run
    // (0 to 1); an empty text shows the status again.
    void setProgramme(const QString& text, double progress);
    const QString& programme() const { return programme_; }
    double programmeProgress() const { return progress_; }
    // A short note at the right end of the status line (work going on in
    // the background); empty for none.
    void setNote(const QString& note);
    const QString& note() const { return note_; }
    // A short mark at the right end of the name line (paused, how far
    // behind live); empty for none.
    void setMark(const QString& mark);
    const QString& mark() const { return mark_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString channelName_;
    QString status_;
    QString note_;
    QString mark_;
    QString programme_;
    double progress_ = 0;
};

}  // namespace lumora
