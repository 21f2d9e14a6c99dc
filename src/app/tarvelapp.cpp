#include "app/tarvelapp.h"

#include "app/updatemode.h"

cTarvelApp::cTarvelApp(const char16_t* codename, bool quiet)
    : m_codenameKept(m_codename.Assign(codename)), m_quiet(quiet)
{
}

i32 cTarvelApp::Run()
{
    return RunUpdateMode(m_codename.GetOrEmpty(), m_quiet);
}
