// WM_CREATE and WM_DESTROY of the saver window: the display state is set up,
// the day's texts become queued display lines, and all of it is released.
#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "display/saver_window.h"
#include "display/timer_ids.h"

namespace tavelin {
namespace {

constexpr uint32_t kDefaultMaxShowStrings = 7;
constexpr int32_t kTallestNews = 400; // a news text this high or higher keeps the full band

LogFont DefaultFont() {
    LogFont lf;
    lf.lfHeight = -50;
    lf.lfWeight = 400;
    lf.lfOutPrecision = 3;
    lf.lfClipPrecision = 2;
    lf.lfQuality = 1;
    constexpr std::u16string_view face = u"Times New Roman";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}

} // namespace

LResult SaverWindow::OnCreate(WindowHandle window) {
    if (steps_.loadSettings) steps_.loadSettings(settings, log_);
    random.Seed(clock_.UtcMilliseconds());
    PrepareSurface(window);
    timers_.StartTimer(window, ID_FRAMETIMER, kFrameInterval);
    timers_.StartTimer(window, ID_TURNTIMER, kFirstTurnInterval);
    PrepareFonts();
    if (settings.dwMaxShowStrings == 0) settings.dwMaxShowStrings = kDefaultMaxShowStrings;
    if (steps_.gatherTexts) steps_.gatherTexts(display.messages, news);
    LayOutNews();
    QueueMessages();
    surface_.CloseWindowDc();
    return 0;
}

void SaverWindow::PrepareSurface(WindowHandle window) {
    if (!surface_.OpenWindowDc(window)) log_.Write(u"WM_CREATE ERROR Window device context not available");
    std::vector<Rect> areas = surface_.Monitors(window);
    std::erase_if(areas, [](const Rect& area) { return area.Empty(); }); // a monitor switched off, say
    if (areas.size() < 2) areas.assign(1, Rect{0, 0, surface_.DisplayWidth(), surface_.DisplayHeight()});
    monitors_.clear();
    Rect covered;
    for (const Rect& area : areas) {
        const bool primary = monitors_.empty();
        std::unique_ptr<DisplayState> own = primary ? nullptr : std::make_unique<DisplayState>();
        auto monitor = std::make_unique<Monitor>(primary ? display : *own, surface_, area);
        monitor->own = std::move(own);
        DisplayState& shown = monitor->state;
        shown.cxScreen = area.cx;
        shown.cyScreen = area.cy;
        shown.cyClientScrolling = shown.cyScreen;
        covered = Bound(covered, Rect{0, 0, area.Right(), area.Bottom()});
        monitors_.push_back(std::move(monitor));
    }
    const int32_t count = static_cast<int32_t>(monitors_.size());
    for (int32_t i = 0; count > 1 && i < count; ++i) {
        Monitor& monitor = *monitors_[static_cast<size_t>(i)];
        monitor.mark = FormatMessage<int32_t>(u"Monitor %d: ", i + 1);
        const Rect& a = monitor.area;
        log_.Write(u"WM_CREATE Monitor %d of %d at x=%d, y=%d, %d x %d%s", i + 1, count, a.x, a.y, a.cx, a.cy,
                   std::u16string_view(i == 0 ? u", primary" : u""));
    }
    // One monitor: the back buffer is the display's; several: the window's.
    const Rect buffer = count > 1 ? covered : Rect{0, 0, display.cxScreen, display.cyScreen};
    if (!surface_.CreateBackBuffer(buffer.cx, buffer.cy))
        log_.Write(u"WM_CREATE ERROR Back buffer of %d x %d not created", buffer.cx, buffer.cy);
    if (!surface_.LoadLogo()) log_.Write(u"WM_CREATE ERROR Logo bitmap 103 not loaded, nothing drawn in its place");
}

void SaverWindow::PrepareFonts() {
    if (settings.lf.lfHeight == 0) {
        log_.Write(u"WM_CREATE Font Not Set!");
        settings.lf = DefaultFont();
    }
    LogFont newsFont = settings.lf;
    newsFont.lfHeight /= 2; // truncates toward zero: -15 gives -7
    if (!surface_.CreateFonts(settings.lf, newsFont)) log_.Write(u"WM_CREATE ERROR Fonts not created");
    log_.Write(u"WM_CREATE News Font Size Set To: %d", newsFont.lfHeight);
}

void SaverWindow::LayOutNews() {
    if (!news.gNewsSet) return;
    news.gNewsString = CapText(UpToNul(news.gNewsString), News::kCapacity - 1);
    log_.Write(u"WM_CREATE News Global Variable is set, News String Length=%d",
               static_cast<int32_t>(news.gNewsString.size()));
    display.NewsSize = surface_.MeasureText(FontKind::News, news.gNewsString);
    const int32_t cy = display.NewsSize.cy;
    if (cy > 0 && cy < kTallestNews) display.cyClientScrolling = display.cyScreen - cy - 4;
    display.cxNewsPos = display.cxScreen;
    display.cyNewsPos = display.cyScreen - cy - 2;
    log_.Write(u"WM_CREATE NewsSize.cx=%d, NewsSize.cy=%d, cyClientScrolling=%d", display.NewsSize.cx, cy,
               display.cyClientScrolling);
    log_.Write(u"WM_CREATE cxNewsPos=%d, cyNewsPos=%d", display.cxNewsPos, display.cyNewsPos);
}

// The day's words are dealt to the monitors in turn; the rest (the company
// line, the logo) is the primary's.
uint32_t SaverWindow::MonitorOf(uint32_t text) const {
    return text < display.dayTexts ? text % MonitorCount() : 0;
}

void SaverWindow::QueueMessages() {
    Group& messages = display.messages;
    for (uint32_t i = 0; i < messages.GetCount(); ++i) {
        auto* text = static_cast<char16_t*>(messages.GetAt(i));
        if (text == nullptr) continue; // not a text: nothing to show or free
        DisplayState& shown = monitors_[MonitorOf(i)]->state;
        DisplayLine* line = MAKEDISPLAYLINE(surface_, shown.cxScreen, text, random);
        if (line == nullptr) {
            log_.Write(u"WM_CREATE ERROR No memory for display line %d, text dropped", static_cast<int32_t>(i));
            ReleaseText(text);
        } else if (!shown.gInactiveStrings.Add(line)) {
            ReleaseDisplayLine(line); // not queued; the line and its text go
        } else if (settings.gRecallEnabled && i < display.dayTexts) {
            PrepareRecall(*line);
        }
    }
    while (messages.GetCount() > 0) messages.RemoveAt(0); // the lines own the texts now
    // Every line there will ever be exists now: the passes never grow these.
    uint32_t most = 0;
    for (const auto& monitor : monitors_) most = std::max(most, monitor->state.gInactiveStrings.GetCount());
    frameVisit_.reserve(most);
    turnVisit_.reserve(most);
    const bool turned = settings.lf.lfEscapement != 0 || settings.lf.lfOrientation != 0;
    uint32_t slot = 0;
    for (auto& monitor : monitors_) {
        DisplayState& shown = monitor->state;
        const uint32_t lines = shown.gInactiveStrings.GetCount();
        monitor->frameDraw.reserve(lines);
        monitor->composer.Prepare(monitor->area, shown.cyClientScrolling, std::min(settings.dwMaxShowStrings, lines),
                                  turned, slot);
        slot += monitor->composer.SlotCount();
    }
}

void SaverWindow::PrepareRecall(DisplayLine& line) {
    line.cchWord = RecallWordLength(line.pszText);
    if (line.cchWord == 0) return;
    // The lane is the whole text's: only the width changes at the reveal.
    line.cxWord = surface_.MeasureText(FontKind::Line, std::u16string_view(line.pszText, line.cchWord)).cx;
    line.cxWhole = line.cxSize;
    HideTranslation(line);
}

LResult SaverWindow::OnDestroy(WindowHandle window) {
    timers_.StopTimer(window, ID_FRAMETIMER);
    timers_.StopTimer(window, ID_TURNTIMER);
    surface_.ReleaseLogo();
    for (auto& monitor : monitors_) monitor->composer.DropAll();
    ReleaseLists(true);
    surface_.ReleaseDrawing();
    log_.Write(u"WM_DESTROY Clean Exit");
    timers_.PostQuit(0);
    return 0;
}

} // namespace tavelin
