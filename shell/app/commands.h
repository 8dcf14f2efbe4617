#pragma once

// Command identifiers of the main window and its dialogs, and the messages
// the PlayerView understands. The values are fixed: menus, soft keys, the
// control bar and the dialogs all speak them, and tests drive the same road.

namespace lumora {

// Commands of the main window (MainFrame::OnCommand).
inline constexpr int ID_CHANNELS = 0xE793;     // left soft key: the channel list
inline constexpr int ID_FULLSCREEN = 103;      // toggle full screen
inline constexpr int ID_CHANNEL_UPDATE = 104;  // check for and download a catalogue update
inline constexpr int ID_SETTINGS = 106;        // the settings dialog
inline constexpr int ID_GUIDE_UPDATE = 107;    // update the programme guide now
inline constexpr int ID_GUIDE = 108;           // the programme grid
inline constexpr int ID_PAUSE = 120;           // pause or resume the stream shown
inline constexpr int ID_LIVE = 121;            // back to the live picture
inline constexpr int ID_REWIND = 122;          // 30 s back within what can be played again
inline constexpr int ID_FORWARD = 123;         // 30 s forward
inline constexpr int ID_FROM_START = 124;      // the programme on now, from its start (archive)
inline constexpr int ID_RECORDINGS = 126;      // the recordings list
inline constexpr int ID_RECORD = 125;          // record the channel shown, or stop recording
inline constexpr int ID_TRACKS = 109;          // the audio and subtitle tracks
inline constexpr int ID_APP_ABOUT = 0xE140;    // the about dialog
inline constexpr int ID_APP_EXIT = 0xE141;     // end the program

// Commands every dialog frame understands unless the dialog handles them.
inline constexpr int IDOK = 1;                    // ends the dialog with 1
inline constexpr int IDCANCEL = 2;                // ends the dialog with 2
inline constexpr int ID_SOFTKEY_DONE = 0xE790;    // the standard "Done" soft key, ends with 1
inline constexpr int ID_SOFTKEY_CANCEL = 0xE791;  // the standard "Cancel" soft key, ends with 2

// Messages to the PlayerView (PlayerView::OnMessage).
inline constexpr int UM_PLAY = 0x0401;        // play the given channel, or the current one
inline constexpr int UM_STOP = 0x0402;        // stop playback
inline constexpr int UM_FULLSCREEN = 0x0404;  // toggle the player's full-screen mode

// Results of a modal dialog run.
inline constexpr int kDialogResultOk = 1;
inline constexpr int kDialogResultCancel = 2;

}  // namespace lumora
