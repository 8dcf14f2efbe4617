#pragma once

// The guide store's file: an SQLite database, named here once for every
// reader and writer. The store is a cache that an import rebuilds whole,
// so a new version may change it freely: a store of another version is
// not read (GuideStore::Open fails) and the next import replaces it.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumora::guide_schema {

inline constexpr int kVersion = 2;

// meta: "version", "imported" (seconds since the epoch, UTC), "catalogue"
// ("1" when the import matched a catalogue's channels).
inline constexpr std::string_view kMetaVersion = "version";
inline constexpr std::string_view kMetaImported = "imported";
inline constexpr std::string_view kMetaCatalogue = "catalogue";
// The timeline's totals over all its parts: programmes, and their titles'
// bytes, so a reader sizes its memory once.
inline constexpr std::string_view kMetaTimelineProgrammes = "timeline_programmes";
inline constexpr std::string_view kMetaTimelineTitleBytes = "timeline_title_bytes";

// channels: one row per guide channel id (ids that differ only in ASCII
//   case are one channel); `id_key` is the id in lower case.
// display_names: every display name of a channel, with `folded` as channel
//   matching compares names (FoldChannelName).
// schedule: every programme's times and title, in key order: half-open
//   [start, stop) in UTC seconds, one channel's programmes never
//   overlapping; `zero` is 0 for a programme of no length (start = stop),
//   else 1; `programme` the row of its details.
// programmes: each kept programme's details, written as the guide is read;
//   `categories` holds one category a line, `flags` GuideProgrammeFlag bits.
// matches: one row per catalogue channel of the import: the guide channel
//   it shows (NULL when none matched), the rule that matched ("id",
//   "tvg-name", "name") and its time shift in seconds.
// timeline: the schedule's programmes of some length once more, packed for
//   now and next, which a reader takes into memory whole: each channel's in
//   time order, in parts numbered from 0 (see the layout below).
inline constexpr std::string_view kCreateTables = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE channels(
  id INTEGER PRIMARY KEY,
  guide_id TEXT NOT NULL,
  id_key TEXT NOT NULL UNIQUE,
  icon TEXT NOT NULL DEFAULT '');
CREATE TABLE display_names(
  channel INTEGER NOT NULL,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  PRIMARY KEY(channel, name)) WITHOUT ROWID;
CREATE TABLE schedule(
  channel INTEGER NOT NULL,
  start INTEGER NOT NULL,
  zero INTEGER NOT NULL,
  stop INTEGER NOT NULL,
  title TEXT NOT NULL,
  programme INTEGER NOT NULL,
  PRIMARY KEY(channel, start, zero)) WITHOUT ROWID;
CREATE TABLE programmes(
  id INTEGER PRIMARY KEY,
  channel INTEGER NOT NULL,
  start INTEGER NOT NULL,
  zero INTEGER NOT NULL,
  sub_title TEXT NOT NULL,
  description TEXT NOT NULL,
  categories TEXT NOT NULL,
  episode_xmltv_ns TEXT NOT NULL,
  episode_onscreen TEXT NOT NULL,
  icon TEXT NOT NULL,
  rating TEXT NOT NULL,
  flags INTEGER NOT NULL,
  catchup_id TEXT NOT NULL);
CREATE TABLE matches(
  lumora_id TEXT PRIMARY KEY,
  channel INTEGER,
  rule TEXT,
  shift INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE timeline(
  channel INTEGER NOT NULL,
  part INTEGER NOT NULL,
  programmes BLOB NOT NULL,
  PRIMARY KEY(channel, part)) WITHOUT ROWID;
)sql";

// A part of the timeline: its programme count (u32), then for each
// programme its start and stop (i64, UTC seconds, no shift), its row in
// `programmes` (i64) and its title's byte count (u32), then the titles one
// after another. Integers are little-endian. A part holds at most
// kTimelinePartProgrammes programmes; the writer starts the next part once
// one reaches kTimelinePartBytes.
inline constexpr std::size_t kTimelineCountBytes = 4;
inline constexpr std::size_t kTimelineEntryBytes = 8 + 8 + 8 + 4;
inline constexpr std::size_t kTimelinePartProgrammes = 1024;
inline constexpr std::size_t kTimelinePartBytes = 256 * 1024;

inline void PutLittleEndian(char* to, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i)
        to[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::uint64_t ReadLittleEndian(const char* from, std::size_t bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        value |= std::uint64_t{static_cast<unsigned char>(from[i])} << (8 * i);
    return value;
}

// The timeline as the guides give it, in a temporary table of the import:
// stops may be missing and programmes overlap. Of two programmes of one
// kind (`zero`) with one channel and start the first read is kept; the
// key's order is the order normalising walks (a programme of no length
// before the one that starts with it).
inline constexpr std::string_view kCreateStaging = R"sql(
CREATE TEMP TABLE staging(
  channel INTEGER NOT NULL,
  start INTEGER NOT NULL,
  zero INTEGER NOT NULL,
  stop INTEGER,
  title TEXT NOT NULL,
  programme INTEGER NOT NULL,
  PRIMARY KEY(channel, start, zero)) WITHOUT ROWID;
)sql";

}  // namespace lumora::guide_schema
