#pragma once
// Asks the update service for the newest version of an installed product: one HTTPS GET
// on the caller's thread, bounded by the transport's time-outs and, as a whole, by a
// deadline, not retried.
#include "base/texts.h"
#include "net/http/exchangefailure.h"

#include <atomic>

// The check ends within this long from its connect, so that a server that trickles its
// answer byte by byte cannot keep it waiting.
inline constexpr u32 kUpdateCheckDeadlineMs = 60000;
// The deadline in force: kUpdateCheckDeadlineMs in the program; only the test hooks
// (testhooks/nethooks.h) shorten it.
extern std::atomic<u32> g_updateCheckDeadlineMs;

// The record of one check, as the update forms show it.
struct sUpdateInfo
{
    _guardchar<char16_t> m_productName;    // from the configuration store
    _guardchar<char16_t> m_newVersion;     // FormatVersion of the answer's version
    _guardchar<char16_t> m_downloadAddress;
    _guardchar<char16_t> m_webSiteAddress;
    _guardchar<char16_t> m_releaseNotes;
};

// `id` is the product's code name. On success the answer's version and its three texts;
// false for a null id, an address that does not parse (see BuildUpdateUrl), a failed
// exchange (the server's identity included; passing the deadline is a time-out), a
// status other than 200, a length outside
// 1..64 KB, and an answer that does not parse (see ParseUpdateAnswer). A failure's first
// reason goes to `failure` when given.
[[nodiscard]] bool CheckForUpdate(const char* id, u64& version, _guardchar<char16_t>& downloadAddress,
                                  _guardchar<char16_t>& webSiteAddress,
                                  _guardchar<char16_t>& releaseNotes,
                                  sExchangeFailure* failure = nullptr);
