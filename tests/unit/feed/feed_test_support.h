// Shared helpers of the feed client's tests: a log that records into memory,
// and trees and message groups rendered as UTF-8 for readable comparisons.
#pragma once

#include <string>
#include <vector>

#include "core/group.h"
#include "core/log.h"
#include "core/text.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"
#include "feed/xml_tree.h"

namespace tavelin::testing_support {

struct RecordingLog {
    fakes::MemoryLogFile files;
    fakes::FakeClock clock;
    Log log{files, clock};

    RecordingLog() {
        log.gLogEnabled = true;
        log.Open();
    }
    // The messages written since the log was opened, in UTF-8.
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        const auto all = fakes::MemoryLogFile::Messages(*files.Only());
        for (size_t i = 1; i < all.size(); ++i) out.push_back(ToUtf8(all[i]));
        return out;
    }
};

// Every element from the root: "<depth> <name>:<value>", with " [attributes]" when there are any.
inline std::vector<std::string> Render(const XmlTree& tree) {
    std::vector<std::string> out;
    for (const XmlTreeObject* o = tree.pRoot; o != nullptr; o = successor(o)) {
        std::string line = std::to_string(o->iDepth) + " " + ToUtf8(o->pData->szName()) + ":" + ToUtf8(o->pData->szValue());
        if (!o->pData->szAttributes().empty()) line += " [" + ToUtf8(o->pData->szAttributes()) + "]";
        out.push_back(line);
    }
    return out;
}

// The texts of a message group in order, in UTF-8.
inline std::vector<std::string> Texts(Group& group) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < group.GetCount(); ++i) out.push_back(ToUtf8(static_cast<char16_t*>(group.GetAt(i))));
    return out;
}

// Releases the texts a test's message group received.
inline void ReleaseAll(Group& group) {
    while (group.GetCount() > 0) ReleaseText(static_cast<char16_t*>(group.RemoveAt(0)));
}

} // namespace tavelin::testing_support
