#include "net/http/socketio.h"

#include <climits>

namespace {

i32 ClampLength(u32 length) { return length > INT32_MAX ? INT32_MAX : static_cast<i32>(length); }

} // namespace

u32 cSocketIO::Read(void* buffer, u32 length)
{
    if (m_connection == nullptr) {
        return 0;
    }
    const i32 got = m_connection->Receive(buffer, ClampLength(length), nullptr);
    return got > 0 ? static_cast<u32>(got) : 0;
}

u32 cSocketIO::Write(const void* buffer, u32 length)
{
    if (m_connection == nullptr) {
        return 0;
    }
    const i32 sent = m_connection->Send(buffer, ClampLength(length));
    return sent > 0 ? static_cast<u32>(sent) : 0;
}

void cSocketIO::Close()
{
    if (m_connection != nullptr) {
        CloseConnection(*m_connection);
        m_connection = nullptr;
    }
}

bool cSocketIO::IsOpen() { return m_connection != nullptr && m_connection->IsConnected(); }
