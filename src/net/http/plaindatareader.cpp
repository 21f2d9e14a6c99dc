#include "net/http/plaindatareader.h"

bool cPlainDataReader::OnData(const u8* bytes, u32 count, u64 offset)
{
    return m_body.Write(bytes, count) == count;
}

bool cPlainDataReader::OnHeadersDone()
{
    if (m_status != 200 || m_contentLength < 1 || m_contentLength > kMaxPlainDataLength) {
        return false;
    }
    m_body.Close();
    return true;
}
