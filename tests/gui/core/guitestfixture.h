#pragma once
// Shared by the widget-tree tests: a headless host with the fixed-advance test font, an
// application per test, and a probe widget that logs what reaches it.
#include "gui/core/actions.h"
#include "gui/core/application.h"
#include "gui/core/element.h"
#include "gui/core/translator.h"
#include "gui/core/windowmaker.h"
#include "platform/headlesshost.h"
#include "platform/softgraphics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qeltest {

using tLog = std::vector<std::string>;

// A widget that logs its handlers as "name:Event" into a shared log.
class cProbe : public cChildElement
{
public:
    cProbe(tLog* log, std::string name, bool focusable = false)
        : m_log(log), m_name(std::move(name)), m_focusCapable(focusable)
    {
    }

    bool DefaultFocusCapable() override { return m_focusCapable; }
    bool ArrowNavQuery() override { return m_arrowNavigable; }
    i32 DefaultCursorKind() override { return m_cursor; }
    void OnMouseButton(i32 x, i32 y, i32 button, bool down) override
    {
        Log((down ? "Press(" : "Release(") + std::to_string(x) + "," + std::to_string(y) + "," +
            std::to_string(button) + ")");
    }
    void OnDoubleClick(i32 x, i32 y) override { Log("DoubleClick"); }
    void OnMouseMove(i32 x, i32 y) override { Log("Move(" + std::to_string(x) + "," + std::to_string(y) + ")"); }
    void OnHoverStart() override { Log("HoverStart"); }
    void OnHoverEnd() override { Log("HoverEnd"); }
    bool OnKeyDown(i32 vk) override
    {
        Log("Key(" + std::to_string(vk) + ")");
        return vk == m_consumedKey;
    }
    void OnChar(char16_t unit) override { Log(std::string("Char(") + char(unit) + ")"); }
    void DropFocus() override { Log("DropFocus"); }
    void FocusByClick(i32 kind, bool ctrl, bool shift) override { Log("FocusByClick(" + std::to_string(kind) + ")"); }
    void SetFocus() override { Log("SetFocus"); }
    void OnFocusLost() override { Log("FocusLost"); }
    void OnFocusGained(i32 kind, bool ctrl, bool shift) override
    {
        Log("FocusGained(" + std::to_string(kind) + (ctrl ? ",ctrl" : "") + (shift ? ",shift" : "") + ")");
    }
    void OnGotFocus() override { Log("GotFocus"); }
    void OnEnabledChanged() override { Log("EnabledChanged"); }
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        std::string from = source == this ? "self" : "other";
        Log("Action(" + std::to_string(action->GetCode()) + "," + from + ")");
        return action->GetCode() == m_consumedCode;
    }

    tLog* m_log;
    std::string m_name;
    bool m_focusCapable;
    bool m_arrowNavigable = false;
    i32 m_cursor = 0;
    i32 m_consumedKey = -1;
    i32 m_consumedCode = -1;

private:
    void Log(const std::string& event)
    {
        if (m_log != nullptr) {
            m_log->push_back(m_name + ":" + event);
        }
    }
};

class cGuiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallSoftwareGraphics(eTextFont::FixedTest));
        host = std::make_unique<cHeadlessHost>();
        application = std::make_unique<cCIApplication>();
        ASSERT_TRUE(application->SetUpWindowSystem(host.get()));
    }
    void TearDown() override
    {
        application.reset();
        host.reset();
    }

    // Opens a window for `root` (owned by the test) without a modal run.
    cWindowTranslator* Open(cChildElement* root, i32 width, i32 height, i32 x = 0, i32 y = 0)
    {
        sWindowParams params;
        params.screenRect = {x, y, width, height};
        cWindowTranslator* window = application->GetWindowMaker()->OpenWindow(root, params);
        if (window != nullptr) {
            window->OnActivate(true);
        }
        host->Pump();
        return window;
    }

    std::unique_ptr<cHeadlessHost> host;
    std::unique_ptr<cCIApplication> application;
};

} // namespace qeltest
