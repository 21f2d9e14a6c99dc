#include "picture/core/streamguard.h"

bool cStreamGuardProgressTarget::SetProgress(f64)
{
    return m_stream != nullptr && m_stream->IsOpen();
}
