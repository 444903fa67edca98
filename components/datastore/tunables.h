#pragma once
// Every tunable constant of the data store in one place: timeouts, limits, pauses and
// default values. Each says what it governs and why it has its value. Change them here
// only; the code refers to these names. (The default settings written into a new file,
// such as "page.size" = 100, belong to the schema steps in schema.cpp: a shipped step
// never changes, a new default needs a new step.)
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace datastore {
namespace tunables {

// --- Waiting for other processes -------------------------------------------------------

// Default of DataStoreOptions::busyTimeoutMs: how long a write (or the opening) waits for
// another process that holds the write lock. Ten seconds outlasts any write of a browser
// profile on a slow disk, yet a hung process is reported instead of waited for forever.
constexpr int kDefaultBusyTimeoutMs = 10000;

// First pause of the retry loop for locks SQLite reports without waiting (see CBusyRetry):
// such a lock is usually gone within a millisecond.
constexpr int kBusyRetryFirstPauseMs = 1;
// The pause doubles up to this, so that a long wait costs few wake-ups yet a freed lock is
// noticed within a twentieth of a second.
constexpr int kBusyRetryMaxPauseMs = 50;

// --- Limits ----------------------------------------------------------------------------

// Default of DataStoreOptions::recoverLimit: closed tabs kept for reopening. A hundred
// covers any session's worth of closed tabs while the list stays quick to page through.
constexpr int kDefaultRecoverLimit = 100;

// The most queued writes the writer commits in one transaction: writes that wait are taken
// together (one commit, one wake-up), and a long queue still commits every so often.
constexpr size_t kWriteBatchLimit = 256;

// Favourite folders nest at most this deep, so that the folder document (built
// recursively) stays printable and no reader's recursion runs deep.
constexpr int kMaxFolderDepth = 32;

// Step limit of the recursive tree walks in SQL: far above kMaxFolderDepth, it only stops
// a walk through a cycle that a damaged file might hold.
constexpr int kTreeWalkLimit = 1000;

// A caller's command or setting name is cut to this many bytes in a log line, so that a
// huge name cannot flood the log.
constexpr size_t kLogNameMaxBytes = 80;

// --- History ---------------------------------------------------------------------------

// Default of the setting "history.keep.days": history entries older than this many days
// are removed, as desktop browsers do (90 days).
constexpr int kDefaultHistoryKeepDays = 90;

// A "history.keep.days" above this (some 27000 years) keeps everything: it bounds the
// date arithmetic of the trim far beyond any real wish.
constexpr int64_t kMaxHistoryKeepDays = 10000000;

// While the store is open, history is trimmed again this often (once a day): entries
// cross the limit only by the day, so trimming more often would only cost writes.
constexpr int kHistoryTrimIntervalSeconds = 24 * 60 * 60;

// --- Tab histories (the open tabs of a session, the recover list) -----------------------

// Back and forward entries kept per tab: a browser keeps about fifty; a caller sends the
// ones around the shown entry. More is refused as bad input.
constexpr int kMaxTabEntries = 100;

// Tabs of one saved session: far beyond a real strip, and it bounds one write.
constexpr int kMaxSessionTabs = 1000;

// --- Where the file lives --------------------------------------------------------------

// Folder (under the XDG data folder) and file name of the default database path.
constexpr char kDefaultFolderName[] = "qxbrowser";
constexpr char kDefaultFileName[] = "datastore.db";

// Mode of the folders created for the default path: private, as a profile holds history.
constexpr mode_t kDataFolderMode = 0700;

// Buffer for the password database entry when $HOME is unset: the size glibc suggests as
// ample for one entry (sysconf(_SC_GETPW_R_SIZE_MAX) may report no limit).
constexpr size_t kPasswdBufferBytes = 16384;

}  // namespace tunables
}  // namespace datastore
