#pragma once
// A progress sink that tells a long decode to stop once its stream has been closed (from
// another thread, through cFileIOTarget::Close). The stream is borrowed.
#include "base/jobs.h"
#include "base/streams.h"

class cStreamGuardProgressTarget : public cProgressNotifyTarget
{
public:
    explicit cStreamGuardProgressTarget(cFileIOTarget* stream) : m_stream(stream) {}

    // True while the stream is open; false without a stream.
    bool SetProgress(f64 value) override;
    void SetStage(i32 stage) override {}
    bool IsCancelled() override { return !SetProgress(0.0); }

private:
    cFileIOTarget* m_stream;
};
