#include "gui/core/application.h"

#include "base/config.h"
#include "gui/core/actions.h"
#include "gui/core/lang.h"
#include "gui/core/windowmaker.h"

#include <atomic>
#include <new>

namespace {

std::atomic<cCIApplication*> g_application{nullptr};

} // namespace

cCIApplication::cCIApplication()
{
    cCIApplication* none = nullptr;
    g_application.compare_exchange_strong(none, this);
}

cCIApplication::~cCIApplication()
{
    m_windowMaker.reset();
    if (m_host != nullptr) {
        SetDispatchHost(nullptr);
    }
    cCIApplication* self = this;
    g_application.compare_exchange_strong(self, nullptr);
}

bool cCIApplication::SetUpWindowSystem(cWindowRequestTarget* host)
{
    if (GetApplication() != this || host == nullptr) {
        return false;
    }
    m_language = CreateBuiltinLangTable();
    m_windowMaker.reset(new (std::nothrow) cWindowMaker(host));
    if (m_language == nullptr || m_windowMaker == nullptr) {
        return false;
    }
    m_host = host;
    SetDispatchHost(host);
    return true;
}

void cCIApplication::SetConfig(std::unique_ptr<cApplicationConfig> config)
{
    std::lock_guard guard(m_configLock);
    m_config = std::move(config);
}

cApplicationConfig* cCIApplication::GetConfig()
{
    std::lock_guard guard(m_configLock);
    if (m_config == nullptr) {
        m_config = OpenApplicationConfig(m_storeName.c_str());
    }
    return m_config.get();
}

void cCIApplication::SetStoreName(const char* storeName)
{
    std::lock_guard guard(m_configLock);
    m_storeName = storeName != nullptr ? storeName : "";
}

cCIApplication* GetApplication()
{
    return g_application.load();
}

i32 RunApplication(cCIApplication* application, std::unique_ptr<cApplicationConfig> config,
                   cWindowRequestTarget* host)
{
    if (application == nullptr) {
        return 1;
    }
    if (config != nullptr) {
        application->SetConfig(std::move(config));
    }
    i32 code = 1;
    if (application->OnStart()) {
        code = application->SetUpWindowSystem(host) ? application->Run() : 1;
        application->OnFinish();
    }
    delete application;
    return code;
}
