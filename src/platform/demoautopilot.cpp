#include "platform/demoautopilot.h"

#include "gui/core/form.h"
#include "gui/core/translator.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace {

constexpr u32 kIdleMs = 200;
constexpr u32 kAnswerIntervalMs = 100;
constexpr i32 kMaxAnswers = 20;
constexpr u32 kRunLimitMs = 30000;

void Drive(cHeadlessHost& host, cWindowTranslator& window)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunLimitMs);
    const auto msLeft = [deadline] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return u32(left.count() > 0 ? left.count() : 0);
    };
    const auto never = [] { return false; };
    (void)host.PumpUntil(never, kIdleMs);
    auto* form = dynamic_cast<cCustomForm*>(window.GetRoot());
    const char* formId = form != nullptr ? form->GetFormId() : nullptr;
    if (formId != nullptr && std::strcmp(formId, "ciom::progress") == 0) {
        (void)host.PumpUntil([&window] { return window.IsRunEnded(); }, msLeft());
        return;
    }
    for (i32 answer = 0;
         answer < kMaxAnswers && form != nullptr && !window.IsRunEnded() && msLeft() > 0;
         ++answer) {
        form->OnOK();
        (void)host.PumpUntil(never, std::min(kAnswerIntervalMs, msLeft()));
    }
}

} // namespace

cHeadlessHost::tModalScript MakeDemoAutopilot()
{
    return Drive;
}
