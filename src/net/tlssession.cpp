#include "net/tlssession.h"

#include "net/consttime.h"

sTlsSession::~sTlsSession()
{
    ct::Wipe(&m_readKey, sizeof(m_readKey));
    ct::Wipe(&m_writeKey, sizeof(m_writeKey));
    ct::Wipe(m_clientMacKey, sizeof(m_clientMacKey));
    ct::Wipe(m_serverMacKey, sizeof(m_serverMacKey));
    ct::Wipe(m_record, sizeof(m_record));
    ct::Wipe(m_send, sizeof(m_send));
}
