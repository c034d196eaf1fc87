// The feed download over HTTPS through WinHTTP against the loopback TLS
// servers of server.py: the test CA trusted only once it is in the machine's
// "Root" store, certificate failures on the send, and redirects.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <string>

#include "wine/feed/fetched.h"

namespace tavelin {
namespace {

std::u16string Plain(const std::string& path) {
    const char* port = std::getenv("TAVELIN_TEST_PORT");
    return FromUtf8("http://127.0.0.1:" + std::string(port != nullptr ? port : "0") + path);
}

// What the plain control server says: each server's port and the CA file.
const std::map<std::string, std::string>& Known() {
    static const std::map<std::string, std::string> known = [] {
        std::map<std::string, std::string> m;
        for (const std::string& text : Fetch(Plain("/ports")).texts) {
            const size_t colon = text.find(':');
            m[text.substr(0, colon)] = text.substr(colon + 1);
        }
        return m;
    }();
    return known;
}

std::u16string Https(const std::string& server, const std::string& path = "/auth/KEY.xml") {
    return FromUtf8("https://localhost:" + Known().at(server) + path);
}

std::wstring ThisProgram() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::wstring(self, n);
}

// Runs a command line to its end; its exit code, or the error that stopped it.
DWORD RunToEnd(std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

// tools/add_root_cert.exe, beside this program's folder, on the test CA.
DWORD TrustTestCa() {
    const std::wstring self = ThisProgram();
    std::wstring command = L"\"" + self.substr(0, self.find_last_of(L'\\')) + L"\\tools\\add_root_cert.exe\" \"Z:";
    for (char c : Known().at("ca")) command += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return RunToEnd(command + L"\"");
}

constexpr const wchar_t* kChildVariable = L"TAVELIN_TLS_CHILD";

// Wine's certificate chain engine reads the "Root" store once per process, at
// its first TLS connection: the fetch without the CA runs in a child process,
// before the CA is added, and everything in this process comes after.
struct TrustTheTestCa : testing::Environment {
    static inline DWORD childBeforeCa = 0xFFFFFFFF; // the child's exit code: 0 when its test passed
    static inline DWORD helper = 0xFFFFFFFF;        // add_root_cert's exit code
    void SetUp() override {
        if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) != 0) return;
        SetEnvironmentVariableW(kChildVariable, L"1");
        childBeforeCa = RunToEnd(L"\"" + ThisProgram() +
                                 L"\" --gtest_filter=HttpsFeed.DISABLED_TrustedServerBeforeTheCaIsInRoot"
                                 L" --gtest_also_run_disabled_tests");
        SetEnvironmentVariableW(kChildVariable, nullptr);
        helper = TrustTestCa();
    }
};
testing::Environment* const kTrust = testing::AddGlobalTestEnvironment(new TrustTheTestCa);

const Lines kTrustedTexts = {"sicher:safe", "Schloss:lock"};
constexpr const char* kSendFailed = "GETRSSFEED WinHttpSendRequest failed, Error Code = ";

// Run only by TrustTheTestCa, in a child process.
TEST(HttpsFeed, DISABLED_TrustedServerBeforeTheCaIsInRoot) {
    const Fetched f = Fetch(Https("trusted"));
    EXPECT_EQ(f.result, 0);
    EXPECT_TRUE(f.texts.empty());
    // Wine reports a secure channel error, Windows a secure failure.
    EXPECT_THAT(f.log.back(), testing::AnyOf(std::string(kSendFailed) + "12157", std::string(kSendFailed) + "12175"));
    std::cout << "before the CA is in Root: " << f.log.back() << "\n";
}

TEST(HttpsFeed, TheTestCaIsTrustedOnlyFromTheRootStore) {
    ASSERT_NE(std::getenv("TAVELIN_TEST_PORT"), nullptr);
    ASSERT_EQ(Known().size(), 7u);
    EXPECT_EQ(TrustTheTestCa::childBeforeCa, 0u) << "the fetch before the CA was trusted did not fail as it should";
    ASSERT_EQ(TrustTheTestCa::helper, 0u);
    const Fetched f = Fetch(Https("trusted"));
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.texts, kTrustedTexts);
    EXPECT_TRUE(Logged(f, "GETRSSFEED URL Hostname=|localhost|"));
    EXPECT_TRUE(Logged(f, "GETRSSFEED URL Port=|" + Known().at("trusted") + "|"));
    EXPECT_EQ(f.log.back(), "GETRSSFEED Leaving this function");
}

// Nothing of the test listens on 443: the address is cracked and logged, then the send fails.
TEST(HttpsFeed, AnAddressWithoutAPortGoesTo443) {
    const Fetched f = Fetch(u"https://localhost/auth/KEY.xml");
    EXPECT_TRUE(Logged(f, "GETRSSFEED URL Port=|443|"));
    EXPECT_TRUE(Logged(f, "GETRSSFEED URL Resource=|/auth/KEY.xml|"));
    EXPECT_EQ(f.result, 0);
}

TEST(HttpsFeed, CertificateFailuresFailTheSendAndChangeNothing) {
    for (const char* server : {"unknown", "wrongname", "expired"}) {
        const Fetched f = Fetch(Https(server));
        EXPECT_EQ(f.result, 0) << server;
        EXPECT_TRUE(f.texts.empty()) << server;
        EXPECT_EQ(f.news, "cached news") << server;
        EXPECT_THAT(f.log.back(), testing::StartsWith(kSendFailed)) << server;
        EXPECT_FALSE(Logged(f, "GETRSSFEED WinHttpSendRequest succeeded")) << server;
        std::cout << server << ": " << f.log.back() << "\n";
    }
}

// The handshake runs inside the send, which the download's deadline bounds.
TEST(HttpsFeed, AServerSilentInTheHandshakeLosesAtTheDeadline) {
    const Fetched f = Fetch(Https("stall"), 3000);
    EXPECT_EQ(f.result, 0);
    EXPECT_LT(f.seconds, 6.0);
    // Wine's own read time-out ends the handshake first, reported as a secure channel error.
    EXPECT_THAT(f.log.back(), testing::AnyOf(std::string(kSendFailed) + "12002", std::string(kSendFailed) + "12157"));
    std::cout << "silent handshake: " << f.seconds << " s, " << f.log.back() << "\n";
}

TEST(HttpsFeed, ARedirectToPlainHttpIsNeverFollowed) {
    const Fetched f = Fetch(Https("redirect", "/auth/tohttp.xml"));
    EXPECT_TRUE(Logged(f, "GETRSSFEED WinHttpSendRequest succeeded"));
    EXPECT_THAT(f.texts, testing::Not(testing::Contains("offen:plain http")));
    EXPECT_TRUE(f.texts.empty());
    EXPECT_EQ(f.news, "cached news");
    EXPECT_EQ(Fetch(Plain("/requests")).texts, Lines{"served:0"}) << "the plain server was asked for a feed";
    std::cout << "redirect to http: result " << f.result << ", last line " << f.log.back() << "\n";
}

TEST(HttpsFeed, ARedirectToHttpsIsFollowed) {
    const Fetched f = Fetch(Https("redirect", "/auth/tohttps.xml"));
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.texts, kTrustedTexts);
}

} // namespace
} // namespace tavelin
