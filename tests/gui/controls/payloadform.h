#pragma once
// A recording form that also keeps the payloads of the splitter's, the header's and the
// list view's typed actions: (source, code, a, b, c, d), unused fields -1.
#include "controlstest.h"
#include "gui/controls/listview.h"

#include <array>
#include <functional>
#include <vector>

namespace qeltest {

struct sPayloadRecord
{
    cChildElement* source;
    i32 code;
    std::array<i32, 4> payload;
    bool operator==(const sPayloadRecord&) const = default;
};

class cPayloadForm : public cRecordingForm
{
public:
    bool OnAction(cChildElement* source, cChildAction* action) override
    {
        std::array<i32, 4> payload{-1, -1, -1, -1};
        if (auto* change = dynamic_cast<cListViewChild::cListViewItemChangeAction*>(action)) {
            payload = {change->GetId(), change->GetPreviousId(), change->GetCtrl(), change->GetShift()};
        } else if (auto* item = dynamic_cast<cListViewChild::cListViewItemAction*>(action)) {
            payload[0] = item->GetId();
        } else if (auto* resize = dynamic_cast<cSplitterChild::cResizeRequestAction*>(action)) {
            payload[0] = resize->GetWidth();
        }
        if (dynamic_cast<cFormCreatedAction*>(action) == nullptr) {
            records.push_back({source, action->GetCode(), payload});
            if (onRecord) {
                onRecord(records.back());
            }
        }
        return cRecordingForm::OnAction(source, action);
    }
    // Takes the records so far, keeping those from `source` (null: all).
    std::vector<sPayloadRecord> Take(const cChildElement* source = nullptr)
    {
        std::vector<sPayloadRecord> taken;
        for (const sPayloadRecord& record : records) {
            if (source == nullptr || record.source == source) {
                taken.push_back(record);
            }
        }
        records.clear();
        actions.clear();
        return taken;
    }

    std::vector<sPayloadRecord> records;
    // Called for every record as it arrives.
    std::function<void(const sPayloadRecord&)> onRecord;
};

// A test with a payload-recording form open at the screen's top-left, 600 x 300.
class cPayloadFormTest : public cGuiTest
{
protected:
    void SetUp() override
    {
        cGuiTest::SetUp();
        window = Open(&form, 600, 300);
        ASSERT_NE(window, nullptr);
    }

    cPayloadForm form;
    cWindowTranslator* window = nullptr;
};

} // namespace qeltest
