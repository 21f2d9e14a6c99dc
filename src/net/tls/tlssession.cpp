#include "net/tls/tlssession.h"

#include "net/crypto/consttime.h"

#include <cstring>

sTlsSession::~sTlsSession()
{
    ct::Wipe(&m_readKey, sizeof(m_readKey));
    ct::Wipe(&m_writeKey, sizeof(m_writeKey));
    ct::Wipe(m_clientTrafficSecret, sizeof(m_clientTrafficSecret));
    ct::Wipe(m_serverTrafficSecret, sizeof(m_serverTrafficSecret));
    ct::Wipe(m_clientMacKey, sizeof(m_clientMacKey));
    ct::Wipe(m_serverMacKey, sizeof(m_serverMacKey));
    ct::Wipe(m_record, sizeof(m_record));
    ct::Wipe(m_send, sizeof(m_send));
}

bool SkipSessionTicket(sTlsSession& session, const sTlsMessage& message)
{
    constexpr u8 kNewSessionTicket = 4;
    if (message.m_type != kNewSessionTicket || !session.m_skippedMessage.Alloc(message.m_size)) {
        return false;
    }
    std::memcpy(session.m_skippedMessage.GetData(), message.m_message, message.m_size);
    return true;
}
