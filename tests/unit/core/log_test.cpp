// The diagnostic log's text: file name, header, line format, sequence, the cut,
// the size limit.
#include <gtest/gtest.h>

#include <string>

#include "core/log.h"
#include "fakes/fake_clock.h"
#include "fakes/memory_log_file.h"

namespace tavelin {
namespace {

using fakes::FakeClock;
using fakes::MemoryLogFile;

struct LogTest : ::testing::Test {
    MemoryLogFile files;
    FakeClock clock;
    Log log{files, clock};
};

TEST_F(LogTest, CreatesNamedFileWithHeaderAndOpeningLine) {
    clock.now = {2026, 12, 6, 6, 27, 44, 7};
    LogFileHandle file = log.CREATELOGFILE(u"Tavelin");
    ASSERT_NE(file, nullptr);
    const auto* f = files.Find(u"Tavelin_20261206_062744.LOG");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->bytes.at(0), 0x54); // 'T', no byte-order mark
    EXPECT_EQ(f->bytes.at(1), 0x00);
    EXPECT_EQ(MemoryLogFile::Text(*f),
              u"Tavelin Log File\r\n06:27:44.007,Seq=000000000000,CREATELOGFILE,TIMESTAMP START\r\n");
    EXPECT_EQ(f->writes, 2u);
}

TEST_F(LogTest, PadsEveryTimeField) {
    clock.now = {2027, 1, 2, 9, 5, 3, 7};
    LogFileHandle file = log.CREATELOGFILE(u"Tavelin");
    ASSERT_NE(files.Find(u"Tavelin_20270102_090503.LOG"), nullptr);
    log.gLogSequence = 41;
    log.WRITELOGLINE(file, u"X");
    EXPECT_EQ(MemoryLogFile::Lines(*files.Only()).back(), u"09:05:03.007,Seq=000000000041,X");
}

TEST_F(LogTest, SequenceCountsEveryLineAndWraps) {
    LogFileHandle file = log.CREATELOGFILE(u"Tavelin");
    log.gLogSequence = 4294967295u;
    EXPECT_TRUE(log.WRITELOGLINE(file, u"last"));
    EXPECT_TRUE(log.WRITELOGLINE(file, u"wrapped"));
    const auto lines = MemoryLogFile::Lines(*files.Only());
    EXPECT_EQ(lines[2].substr(13, 17), u"Seq=004294967295,");
    EXPECT_EQ(lines[3].substr(13, 17), u"Seq=000000000000,");
    EXPECT_EQ(log.gLogSequence, 1u);
}

TEST_F(LogTest, MessagesAreVerbatimAndCut) {
    log.gLogEnabled = true;
    log.Open();
    log.WriteMessage(u"100% done %s %d");
    log.Write(u"GETRSSFEED URL Hostname=|%s|", std::u16string(2000, u'h'));
    const auto messages = MemoryLogFile::Messages(*files.Only());
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], u"100% done %s %d");
    EXPECT_EQ(messages[2].size(), kMessageLimit);
    // A caller passing an over-long message straight to the writer is cut too.
    log.WRITELOGLINE(log.gLogFile, std::u16string(3000, u'z'));
    EXPECT_EQ(MemoryLogFile::Lines(*files.Only()).back().size(), 30 + kMessageLimit);
    // A pair that the cut would split is left out whole.
    log.WRITELOGLINE(log.gLogFile, std::u16string(kMessageLimit - 1, u'z') + u"\U0001F600");
    EXPECT_EQ(MemoryLogFile::Lines(*files.Only()).back(),
              MemoryLogFile::Lines(*files.Only()).back().substr(0, 30) + std::u16string(kMessageLimit - 1, u'z'));
}

TEST_F(LogTest, NothingIsWrittenWhileTheLogIsOff) {
    log.Write(u"WM_CREATE Font Not Set!");
    EXPECT_EQ(files.created, 0u);
    log.gLogFile = log.CREATELOGFILE(u"Tavelin");
    log.Write(u"WM_CREATE Font Not Set!");
    EXPECT_EQ(MemoryLogFile::Messages(*files.Only()).size(), 1u);
}

TEST_F(LogTest, MissingFileFailsQuietly) {
    files.failCreate = true;
    log.gLogEnabled = true;
    log.Open();
    EXPECT_EQ(log.gLogFile, nullptr);
    EXPECT_FALSE(log.WRITELOGLINE(log.gLogFile, u"lost"));
    log.Write(u"lost %d", 1); // must not crash
    EXPECT_EQ(files.created, 0u);
}

TEST_F(LogTest, AFileOfTheSameNameIsReplaced) {
    log.CREATELOGFILE(u"Tavelin");
    log.WRITELOGLINE(files.Only() ? const_cast<MemoryLogFile::File*>(files.Only()) : nullptr, u"old run");
    log.CREATELOGFILE(u"Tavelin");
    const auto messages = MemoryLogFile::Messages(*files.Only());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], u"CREATELOGFILE,TIMESTAMP START");
}

// A file that keeps only its size and its last two lines (one write each),
// for 64 MiB of lines.
struct TailLogFile : LogFile {
    size_t size = 0, writes = 0;
    std::u16string last, beforeLast; // messages, after the 30-unit stamp

    LogFileHandle Create(std::u16string_view) override { return this; }
    bool Append(LogFileHandle, const void* bytes, size_t count) override {
        const auto* p = static_cast<const unsigned char*>(bytes);
        beforeLast = std::move(last);
        last.clear();
        for (size_t i = 60; i + 5 < count; i += 2) last += static_cast<char16_t>(p[i] | p[i + 1] << 8);
        size += count;
        ++writes;
        return true;
    }
};

// 64 MiB, the last line included: a line that would leave no room for the
// last line is replaced by it, and every later write is dropped.
TEST_F(LogTest, TheLastLineFillsTheFileToItsLimit) {
    const size_t lastLine = 2 * (30 + kLogLimitMessage.size() + 2);
    const struct {
        size_t filled;  // bytes before the line "next", which takes 72
        bool nextIsWritten;
    } cases[] = {
        {kLogSizeLimit - lastLine - 72, true},
        {kLogSizeLimit - lastLine - 70, false},
        {kLogSizeLimit - lastLine, false},
    };
    for (const auto& c : cases) {
        TailLogFile file;
        Log limited{file, clock};
        limited.gLogEnabled = true;
        limited.Open();
        // Whole lines of 2,110 bytes, then two that end exactly at c.filled.
        for (size_t left = (c.filled - file.size) / 2; left > 0;) {
            const size_t units = left > 2 * 1055 ? 1055 : left > 1055 ? left / 2 : left;
            limited.WriteMessage(std::u16string(units - 32, u'f'));
            left -= units;
        }
        ASSERT_EQ(file.size, c.filled);
        limited.WriteMessage(u"next");
        limited.WriteMessage(u"then"); // the last line, unless "next" already was
        const size_t writes = file.writes;
        const uint32_t sequence = limited.gLogSequence;
        limited.Write(u"later %d", 1);
        EXPECT_FALSE(limited.WRITELOGLINE(limited.gLogFile, u"later"));
        EXPECT_EQ(file.writes, writes) << c.filled;
        EXPECT_EQ(limited.gLogSequence, sequence) << c.filled;
        EXPECT_EQ(file.last, kLogLimitMessage) << c.filled;
        EXPECT_EQ(file.beforeLast == u"next", c.nextIsWritten) << c.filled;
        EXPECT_EQ(file.size, (c.nextIsWritten ? c.filled + 72 : c.filled) + lastLine);
        EXPECT_FALSE(limited.Writing());
    }
}

} // namespace
} // namespace tavelin
