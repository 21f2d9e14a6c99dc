#pragma once
// A stream view over a connection, read by the HTTP response reader. It never owns the
// connection: Close closes the connection's socket and forgets it.
#include "base/streams.h"
#include "net/http/tcpsocket.h"

class cSocketIO : public cFileIOTarget
{
public:
    explicit cSocketIO(cTCPSocket* connection) : m_connection(connection) {}
    cSocketIO(const cSocketIO&) = delete;
    cSocketIO& operator=(const cSocketIO&) = delete;
    ~cSocketIO() override = default;

    // The connection's virtual Receive with its own time-out; 0 without a connection.
    u32 Read(void* buffer, u32 length) override;
    // The connection's virtual Send; 0 without a connection.
    u32 Write(const void* buffer, u32 length) override;
    void Close() override;
    // A connection is attached and has a socket.
    bool IsOpen() override;

private:
    cTCPSocket* m_connection;
};
