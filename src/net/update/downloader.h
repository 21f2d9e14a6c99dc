#pragma once
// cUpdateDownloader: the download of a new installer. Run performs the HTTP GET (one
// redirect followed) and, as the response receiver, writes the body to the target stream
// as it arrives, reporting the share done to a progress sink (the program runs it in the
// stock progress form).
//
// Only https addresses are fetched: the file is started once it is saved, so it must
// come over an authenticated connection.
//
// Result codes (Run's result):
//   0  stopped (Stop, Escape or closing the window)
//   1  the address does not parse, the network did not start, or a redirect target that
//      cannot be followed (a relative "Location")
//   2  incomplete: the body did not reach its Content-Length (also when it had none)
//   3  an address or redirect target whose scheme is not https, a status other than 200,
//      301, 302, 303 and 307, or a redirect without "Location"
//   4  writing to the target stream failed
//   10 complete
//   11 the redirect target redirected again
//
// Threads: Run, OnData and OnHeadersDone run on one thread and touch only the downloader,
// the target stream and the progress sink. Abort, from any other thread, aborts the
// connection of the running exchange (a shutdown, never a close), so a blocked connect,
// handshake or receive ends at once; the sink's IsCancelled MUST already answer true by
// then, or a stop that comes before the connection exists goes unseen.
#include "base/jobs.h"
#include "base/streams.h"
#include "base/texts.h"
#include "net/http/httpresponse.h"

#include <mutex>
#include <string>

class cHttpRequest;
class cHttpTransport;

class cUpdateDownloader : public cHttpResponse
{
public:
    enum : i32
    {
        kResultStopped = 0,
        kResultBadAddress = 1,
        kResultIncomplete = 2,
        kResultServerError = 3,
        kResultWriteFailed = 4,
        kResultComplete = 10,
        kResultRedirectedTwice = 11,
    };

    // `target` (borrowed) MUST outlive the downloader; it is written from its position on.
    // `reason` (borrowed, may be null) receives why the job ended with a result other
    // than 0 and 10, as a short phrase ("time-out", "HTTP status 404"); it MUST outlive
    // the downloader and is read only after the form's run ended.
    cUpdateDownloader(cFileIOTarget* target, const char16_t* address,
                      std::string* reason = nullptr);

    // The result, with the reason kept for the caller. `progress` (borrowed) gets the
    // percentage as the body arrives; a false answer ends the download, which ends with 0
    // only when IsCancelled then answers true (otherwise 2, incomplete).
    i32 Run(cProgressNotifyTarget& progress);
    // Any thread: aborts the connection of the running exchange.
    void Abort();

    bool OnHeadersDone() override;
    bool OnData(const u8* bytes, u32 count, u64 offset) override;

private:
    bool IsStopRequested() const { return m_progress != nullptr && m_progress->IsCancelled(); }
    i32 RunExchanges();
    // Performs one exchange with the transport reachable by the stop hook.
    void Exchange(const cHttpRequest& request);
    // The reason of a result that is neither a stop nor complete.
    std::string DescribeResult(i32 result) const;

    cFileIOTarget* m_target;
    cProgressNotifyTarget* m_progress = nullptr; // during Run
    _guardchar<char16_t> m_address;
    i32 m_state = kResultIncomplete;
    u64 m_bytesWritten = 0;
    std::string* m_reason;
    std::string m_writeError;           // strerror of the failed write
    bool m_schemeRefused = false;       // the address or redirect target is not https
    sExchangeFailure m_exchangeFailure; // of the last exchange that failed
    _guardchar<char> m_redirectTarget;

    std::mutex m_transportLock;
    cHttpTransport* m_transport = nullptr; // guarded by m_transportLock
};
