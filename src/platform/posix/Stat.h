// POSIX only: one entry's stat call (statx, or fstatat where statx is
// missing), a regular file's taken date read through one open, and the
// facts the search delivers of an entry. The calls of a whole batch of
// names are made many at a time (StatPool.h).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Entry.h"
#include "taken/TakenDate.h"

namespace Platform::posix {

// How stat calls are made: statx, or fstatat where statx itself is missing
// (kernels before 4.11; the search switches by itself).
enum class StatMode { kStatx, kFstatat };
StatMode CurrentStatMode();
// Makes every later call use `mode` (tests).
void SetStatMode(StatMode mode);

// Calls `hook` after each batch of names is read and before its stat calls
// start (tests remove files there, or throw); an empty hook does nothing.
void SetListingHook(std::function<void()> hook);
// Makes the next batch of names read end the listing with the errno value
// `error`, as a failing readdir would, once (tests).
void FailNextListing(int error);
// Runs the hook, and ends the listing (`listed`, its `error`) when a
// failure is due.
void RunListingHook(bool& listed, int& error);

// The statx fields a search asks for: the type, mode and size, with the
// three times or none, or (`onlyStamp`, kSearchOnly* bits) the one stamp
// dated by (a creation time with the last write it falls back to).
unsigned StatMask(bool withTimes, unsigned onlyStamp = 0);

// statx (or fstatat) of `name` relative to `dirfd`, links not followed:
// 0, or the errno value of the failure. Without statx, `out` carries no
// birth time.
int StatOne(int dirfd, const char* name, unsigned mask, struct statx& out);
// The same of what a link `name` leads to.
int StatTarget(int dirfd, const char* name, unsigned mask, struct statx& out);

// The device of a statx result (filled by fstatat too), as one number.
uint64_t DeviceOf(const struct statx& stx);

// What a search delivers of one entry.
struct EntryInfo {
  uint32_t attributes = 0;
  uint64_t size = 0;
  FileTime created = 0, lastWrite = 0, lastAccess = 0;
  TakenDate::Moment taken;
  bool otherFileSystem = false;
  TakenRead takenRead = TakenRead::kNotRead;
};

// When the file `name` (relative to `dirfd`) was taken, from its metadata,
// read through one read-only open (a link followed with `follow`, else not
// opened at); `scratch` is the caller's TakenDate::kScratchBytes. kNone
// when it cannot be opened or read, which `read` tells apart.
TakenDate::Moment ReadTaken(int dirfd, const char* name, bool follow, unsigned char* scratch,
                            TakenRead& read);
// The opens ReadTaken has made in this process so far (tests).
uint64_t TakenOpens();

// The program thread's scratch buffer for ReadTaken.
unsigned char* ProgramScratch();

// The attribute word the program expects, made from what POSIX knows;
// `name` is the entry's own name (its last path component).
uint32_t SynthesiseAttributes(std::string_view name, mode_t mode, bool followsToDirectory);

// An entry's facts from its statx result. A file system that records no
// birth time gives the last-write time as the creation time, and so does a
// birth time of exactly 0 (1970-01-01 00:00:00 UTC): file systems made by
// image tools report that for "not recorded".
EntryInfo FactsOf(std::string_view name, const struct statx& stx, bool withTimes, bool linkToFolder);

// The facts of an entry whose stat failed: its type from the listing, no
// size, and every time kTimeUnread.
EntryInfo UnreadFacts(std::string_view name, unsigned char direntType);

}  // namespace Platform::posix
