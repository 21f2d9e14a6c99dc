#pragma once
// cUpdateDownloadForm: the download of a new installer in the stock progress form. The
// form's job runs the downloader, which reports its progress to the form; Escape, Stop
// and the close request abort the running exchange at once. The form's end code is the
// downloader's result (downloader.h).
#include "base/streams.h"
#include "gui/dialogs/progressform.h"
#include "net/update/downloader.h"

#include <string>

class cUpdateDownloadForm : public cStdBasicProgressForm
{
public:
    // The arguments are the downloader's.
    cUpdateDownloadForm(cFileIOTarget* target, const char16_t* address,
                        std::string* reason = nullptr)
        : m_downloader(target, address, reason)
    {
    }
    // Stops the job before the downloader goes.
    ~cUpdateDownloadForm() override { Stop(UINT32_MAX); }

protected:
    i32 Run() override { return m_downloader.Run(*this); }
    void OnStopRequested() override { m_downloader.Abort(); }

private:
    cUpdateDownloader m_downloader;
};
