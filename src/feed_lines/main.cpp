// tavelin-feed-lines FILE [--extra]: the news and the lines the saver would
// show for a feed document, for checking a hand-written or published feed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "feed/feed.h"
#include "feed_lines.h"

namespace {

constexpr const char* kUsage =
    "Usage: tavelin-feed-lines [--extra] [--] FILE\n"
    "\n"
    "Prints what the saver would show for the feed document FILE: the news text first,\n"
    "on a line of its own prefixed \"news: \" (only when the saver would run a ticker),\n"
    "then each line of the day, one a line, in UTF-8. FILE is read with the saver's own\n"
    "decoding (UTF-16LE or UTF-8), reader and extraction.\n"
    "\n"
    "  --extra     compose the grammar notes into the lines, as the Grammar setting does\n"
    "  -h, --help  this text\n"
    "\n"
    "A control character in a text is printed as its picture (a line break as U+240A)\n"
    "and a lone surrogate as U+FFFD, each with a note on standard error.\n"
    "Exit status: 0 done; 1 FILE cannot be read, or is too short for the saver to take\n"
    "(fewer than 10 bytes); 2 wrong usage.\n";

struct Arguments {
    const char* file = nullptr;
    bool extra = false;
    bool help = false;
};

bool Parse(int argc, char** argv, Arguments& args) {
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (options && a == "--") options = false;
        else if (options && a == "--extra") args.extra = true;
        else if (options && (a == "-h" || a == "--help")) args.help = true;
        else if (options && a.size() > 1 && a[0] == '-') return false;
        else if (args.file == nullptr) args.file = argv[i];
        else return false;
    }
    return args.help || args.file != nullptr;
}

// The whole file, or false with errno set.
bool ReadAll(const char* path, std::string& bytes) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    char chunk[1 << 16];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
    const bool ok = std::ferror(f) == 0;
    const int error = errno;
    std::fclose(f);
    errno = error;
    return ok;
}

// One output line; a note on standard error when the text had to be altered.
void PrintLine(std::string_view prefix, std::u16string_view text, const std::string& where) {
    bool altered = false;
    const std::string line = tavelin::PrintableUtf8(text, altered);
    std::fwrite(prefix.data(), 1, prefix.size(), stdout);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    if (altered) {
        std::fprintf(stderr, "tavelin-feed-lines: %s holds a control character or a lone surrogate, shown as its "
                     "picture or U+FFFD\n", where.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!Parse(argc, argv, args)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (args.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string bytes;
    if (!ReadAll(args.file, bytes)) {
        std::fprintf(stderr, "tavelin-feed-lines: cannot read '%s': %s\n", args.file, std::strerror(errno));
        return 1;
    }
    const tavelin::FeedLines feed = tavelin::ReadFeedLines(bytes, args.extra);
    if (!feed.accepted && bytes.size() < tavelin::kMinimumBodyBytes) {
        std::fprintf(stderr, "tavelin-feed-lines: '%s' holds %zu bytes; the saver takes fewer than %u as a failed "
                     "download and shows the cached day\n", args.file, bytes.size(), tavelin::kMinimumBodyBytes);
        return 1;
    }
    if (!feed.accepted) { // over the saver's body limit, or memory short
        std::fprintf(stderr, "tavelin-feed-lines: '%s' (%zu bytes) is more than the saver accepts (%zu bytes at most)\n",
                     args.file, bytes.size(), static_cast<size_t>(tavelin::kBodyLimitBytes));
        return 1;
    }
    if (!feed.news.empty()) PrintLine("news: ", feed.news, "the news");
    for (size_t i = 0; i < feed.lines.size(); ++i) PrintLine("", feed.lines[i], "line " + std::to_string(i + 1));
    if (feed.lines.empty()) {
        std::fprintf(stderr, "tavelin-feed-lines: '%s' gives no line; the saver would show the cached day\n",
                     args.file);
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "tavelin-feed-lines: cannot write the lines: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}
