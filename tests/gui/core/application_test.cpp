// The application object: one per process and the runner's three operations. (Its
// configuration pair is tested across processes in tests/platform/appconfig_test.cpp.)
#include "base/config.h"
#include "gui/core/application.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct sSteps
{
    std::string order;
    bool deleted = false;
};

class cScriptedApp : public cCIApplication
{
public:
    cScriptedApp(sSteps* steps, bool start, i32 code) : m_steps(steps), m_start(start), m_code(code) {}
    ~cScriptedApp() override { m_steps->deleted = true; }
    bool OnStart() override
    {
        m_steps->order += "start ";
        return m_start;
    }
    i32 Run() override
    {
        // The window system is up while the mode runs.
        m_steps->order += GetWindowMaker() != nullptr && GetApplication() == this ? "run " : "run-without-windows ";
        return m_code;
    }
    void OnFinish() override { m_steps->order += "finish"; }

private:
    sSteps* m_steps;
    bool m_start;
    i32 m_code;
};

TEST(Application, TheRunnerCallsTheThreeOperationsAndDeletesTheApplication)
{
    cHeadlessHost host;
    sSteps steps;
    EXPECT_EQ(RunApplication(new cScriptedApp(&steps, true, 5), nullptr, &host), 5);
    EXPECT_EQ(steps.order, "start run finish");
    EXPECT_TRUE(steps.deleted);
    EXPECT_EQ(GetApplication(), nullptr);

    sSteps refused;
    EXPECT_EQ(RunApplication(new cScriptedApp(&refused, false, 5), nullptr, &host), 1);
    EXPECT_EQ(refused.order, "start ");
    EXPECT_TRUE(refused.deleted);
    EXPECT_EQ(RunApplication(nullptr, nullptr, &host), 1);
}

} // namespace
