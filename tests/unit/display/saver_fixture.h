// A saver window over the recording surface, a fake clock and an in-memory log,
// with the start-up steps supplied by the test.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "display/saver_window.h"
#include "display/timer_ids.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "fakes/recording_surface.h"

namespace tavelin::testing {

class SaverFixture : public ::testing::Test {
protected:
    SaverFixture() {
        surface.window = [this](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
            return saver.Procedure(w, m, wp, lp);
        };
    }

    // WM_CREATE with these texts (and news, when given) and the settings.
    void Create(const std::vector<std::u16string>& texts, const std::u16string& newsText = {}) {
        texts_ = texts;
        newsText_ = newsText;
        saver.Procedure(kWindow, msg::WM_CREATE, 0, 0);
    }
    void TearDown() override {
        EXPECT_EQ(surface.directInChanges, 0u) << "a text or logo drawn directly in a frame of changes";
    }

    void Frame() { saver.Procedure(kWindow, msg::WM_TIMER, ID_FRAMETIMER, 0); }
    void Turn() { saver.Procedure(kWindow, msg::WM_TIMER, ID_TURNTIMER, 0); }

    DisplayLine* Line(Group& lines, uint32_t i) { return static_cast<DisplayLine*>(lines.GetAt(i)); }
    DisplayLine* Active(uint32_t i) { return Line(saver.display.gActiveStrings, i); }
    DisplayLine* Inactive(uint32_t i) { return Line(saver.display.gInactiveStrings, i); }
    uint32_t ActiveCount() { return saver.display.gActiveStrings.GetCount(); }
    uint32_t InactiveCount() { return saver.display.gInactiveStrings.GetCount(); }

    std::vector<std::u16string> Messages() { return fakes::MemoryLogFile::Messages(*files.Only()); }
    size_t CountOf(std::u16string_view message) {
        const auto all = Messages();
        return static_cast<size_t>(std::count(all.begin(), all.end(), message));
    }

    static inline const WindowHandle kWindow = reinterpret_cast<WindowHandle>(0x1234);

    fakes::RecordingSurface surface;
    fakes::FakeClock clock;
    fakes::MemoryLogFile files;
    Log log{files, clock};
    SaverSettings stored;         // what the settings load hands over
    bool logOn = true;
    WindowProcedure defaultProc;  // null: other messages return 0
    std::optional<uint32_t> dayTexts; // of the texts, the day's words; else all
    SaverWindow saver{surface, surface, clock, log,
                      SaverSteps{[this](SaverSettings& s, Log& l) {
                                     s = stored;
                                     l.gLogEnabled = logOn;
                                     if (logOn) l.Open();
                                 },
                                 [this](Group& messages, News& news) {
                                     for (const auto& t : texts_) messages.Add(DuplicateText(t));
                                     saver.display.dayTexts = dayTexts.value_or(static_cast<uint32_t>(texts_.size()));
                                     news.gNewsString = newsText_;
                                     news.gNewsSet = newsText_.size() >= 3;
                                 },
                                 [this](WindowHandle w, uint32_t m, WParam wp, LParam lp) {
                                     return defaultProc ? defaultProc(w, m, wp, lp) : 0;
                                 }}};

private:
    std::vector<std::u16string> texts_;
    std::u16string newsText_;
};

} // namespace tavelin::testing
