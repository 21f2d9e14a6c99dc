#pragma once
// cTarvelApp: the program's application object. It holds the chosen mode and runs it.
#include "base/texts.h"
#include "gui/core/application.h"

class cTarvelApp : public cCIApplication
{
public:
    // The "update" mode for `codename`; `quiet` suppresses its outcome messages.
    cTarvelApp(const char16_t* codename, bool quiet);

    // False when the code name could not be kept (memory short).
    bool OnStart() override { return m_codenameKept; }
    i32 Run() override;

private:
    _guardchar<char16_t> m_codename;
    bool m_codenameKept;
    bool m_quiet;
};
