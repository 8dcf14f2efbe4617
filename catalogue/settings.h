#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/channel_state.h"

namespace lumora {

// The process-wide settings store: three maps (boolean, integer, wide
// string) keyed by narrow setting names, filled from "Settings.cfg" at
// start-up and written back completely at shut-down, together with the
// catalogue's per-channel state.
//
// Threads: the UI thread only. Nothing here is locked.

// Remembers the full path of "Settings.cfg" and fills the maps from it. A
// missing or damaged file leaves the maps as they are; every setting then
// takes its default at its first read. A file that is there but cannot be
// read is first kept as "Settings.cfg.bad" (the newest such file), so the
// user can recover it. The file's per-channel state is kept for
// SavedChannelStates.
void LoadSettings(const std::u16string& path);

// LoadSettings in two steps, so that work can start between them: the
// options now (a damaged file is set aside here), the per-channel state at
// FinishLoadingSettings; SavedChannelStates is empty until then.
void LoadSettingsOptions(const std::u16string& path);
void FinishLoadingSettings();

// Fills the maps and the loaded document from the file as LoadSettings
// does, but only reads: the path is not remembered (so nothing is saved to
// it) and a file that cannot be read stays where it is. False when the
// file is missing or damaged; the store is then unchanged. For tools that
// inspect a user's settings.
bool ReadSettingsFile(const std::u16string& path);

// Writes a new file to the remembered path: root "set", child "options"
// with one attribute per setting and child "channels" with the catalogue's
// per-channel state. The old file is replaced atomically. False when the
// file could not be written (nothing else changes; errno tells why).
bool SaveSettings();

// Getters return the stored value; when the name is absent they store the
// fallback first, so the setting is part of the next save.
bool GetBoolSetting(std::string_view name, bool fallback);
std::int32_t GetIntSetting(std::string_view name, std::int32_t fallback);
std::u16string GetStringSetting(std::string_view name, const std::u16string& fallback);

// The stored string, without storing anything when it is absent.
std::optional<std::u16string> FindStringSetting(std::string_view name);
// Forgets the string setting: it is not part of the next save.
void RemoveStringSetting(std::string_view name);

void SetBoolSetting(std::string_view name, bool value);
void SetIntSetting(std::string_view name, std::int32_t value);
void SetStringSetting(std::string_view name, const std::u16string& value);

// The per-channel state of the loaded settings file (its node "channels"),
// by channel id; empty when the file was missing, damaged or had none. It
// never changes once loaded, so a worker may keep and read it.
std::shared_ptr<const ChannelStateTable> SavedChannelStates();

// Empties the maps, the saved channel state and the remembered path.
void ResetSettings();

}  // namespace lumora
