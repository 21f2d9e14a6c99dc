#pragma once
// cCIApplication: the process's one application object. It holds what every part of the
// program reaches without a parent element: the host of the windows, the window maker,
// the language table of the active language and the configuration pair.
//
// The runner calls the application's three operations in order: OnStart (false ends the
// process with exit code 1), then, with the window system set up, Run (the exit code),
// then OnFinish, and deletes the application. Tests make one per fixture and call
// SetUpWindowSystem themselves.
#include "base/types.h"

#include <memory>
#include <mutex>
#include <string>

class cApplicationConfig;
class cLangTable;
class cWindowMaker;
class cWindowRequestTarget;

class cCIApplication
{
public:
    // Becomes the process's application unless one exists already (GetApplication keeps
    // answering the first).
    cCIApplication();
    // Closes every window, drops the queued actions and deletes the configuration
    // without saving it.
    virtual ~cCIApplication();
    cCIApplication(const cCIApplication&) = delete;
    cCIApplication& operator=(const cCIApplication&) = delete;

    virtual bool OnStart() { return true; }
    virtual i32 Run() { return 0; }
    virtual void OnFinish() {}

    // Sets up the window system on `host` (borrowed; it MUST outlive the application):
    // queued actions are dispatched on the calling thread, which becomes the GUI thread,
    // windows are made by a new window maker, and the built-in language table becomes
    // the active one. False when memory is short or this is not the process's
    // application.
    bool SetUpWindowSystem(cWindowRequestTarget* host);
    cWindowRequestTarget* GetHost() const { return m_host; }
    cWindowMaker* GetWindowMaker() const { return m_windowMaker.get(); }
    const cLangTable* GetLanguage() const { return m_language.get(); }

    // The configuration pair. Until one is given, the first call opens the store named by
    // SetStoreName from the environment's folders. Callable from any thread.
    void SetConfig(std::unique_ptr<cApplicationConfig> config);
    cApplicationConfig* GetConfig();
    void SetStoreName(const char* storeName);

private:
    cWindowRequestTarget* m_host = nullptr;
    std::unique_ptr<cWindowMaker> m_windowMaker;
    std::unique_ptr<cLangTable> m_language;
    std::mutex m_configLock;
    std::unique_ptr<cApplicationConfig> m_config;
    std::string m_storeName = "qel";
};

// The process's application; null when none exists.
cCIApplication* GetApplication();

// Runs `application` (owned; deleted before returning) with the configuration pair
// `config` (null: opened lazily) on `host`, and returns the process exit code.
i32 RunApplication(cCIApplication* application, std::unique_ptr<cApplicationConfig> config,
                   cWindowRequestTarget* host);
