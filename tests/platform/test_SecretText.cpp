// Protection of saved passwords, and the digests it is built on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/HookRecorder.h"
#include "platform/SecretText.h"

using namespace platform;

namespace {

struct DigestCase { std::string message; std::string hex; };

// Published test vectors (FIPS 180-2 examples and well-known digests).
TEST(SecretDigest, Sha256OfKnownMessages) {
    const DigestCase cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.message), c.hex) << c.message.size();
}

// RFC 4231 test cases 1, 2 and 6 (a key longer than the block).
TEST(SecretDigest, HmacSha256OfRfc4231Cases) {
    EXPECT_EQ(HmacSha256Hex(std::string(20, '\x0b'), "Hi There"),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
    EXPECT_EQ(HmacSha256Hex("Jefe", "what do ya want for nothing?"),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(HmacSha256Hex(std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
              "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

class SecretTextTest : public ::testing::Test {
protected:
    vtest::RegistryRedirect reg;
};

TEST_F(SecretTextTest, ProtectedTextRoundTripsAndShowsNothingOfTheSecret) {
    const std::string secrets[] = {"s3cret", "", "pa/ss wo%rd", std::string("nul\0inside", 10), "ünïcödé"};
    for (const auto& s : secrets) {
        const std::string p = ProtectSecret(s);
        EXPECT_TRUE(IsProtectedSecret(p)) << p;
        EXPECT_EQ(p.rfind("~p1:", 0), 0u);
        if (s.size() > 2) { EXPECT_EQ(p.find(s), std::string::npos); }
        EXPECT_EQ(p.find('/'), std::string::npos);
        EXPECT_EQ(p.find(' '), std::string::npos);
        auto back = UnprotectSecret(p);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, s);
    }
}

TEST_F(SecretTextTest, SameSecretProtectsDifferentlyEachTime) {
    EXPECT_NE(ProtectSecret("password"), ProtectSecret("password"));
}

TEST_F(SecretTextTest, AlteredTextIsRejected) {
    std::string p = ProtectSecret("password");
    p[10] = p[10] == '0' ? '1' : '0';
    EXPECT_FALSE(UnprotectSecret(p).has_value());
    EXPECT_FALSE(UnprotectSecret("password").has_value());
    EXPECT_FALSE(UnprotectSecret("~p1:zz").has_value());
    EXPECT_FALSE(IsProtectedSecret("~p1:abcd")); // too short to hold nonce and tag
}

TEST_F(SecretTextTest, AnotherUsersKeyCannotRevealIt) {
    const std::string p = ProtectSecret("password");
    vtest::RegistryRedirect other; // another store, another key
    EXPECT_FALSE(UnprotectSecret(p).has_value());
}

TEST_F(SecretTextTest, KeyFileIsTheOwnersOnly) {
    ProtectSecret("x");
    struct stat st {};
    ASSERT_EQ(::stat(SecretKeyPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 32);
    EXPECT_EQ(SecretKeyPath(), reg.path + ".key");
}

// The key file was created empty and the key written into it after: a
// program killed in between left a short file, no key could be read from it
// nor made beside it, and every password saved from then on was dropped.
TEST_F(SecretTextTest, AKeyFileLeftShortByAKilledProgramDropsEveryPasswordSavedAfter) {
    for (const size_t size : {0, 1, 31}) {
        SCOPED_TRACE(size);
        std::filesystem::remove(SecretKeyPath());
        std::ofstream(SecretKeyPath(), std::ios::binary) << std::string(size, 'k');
        const std::string p = ProtectSecret("password");
        EXPECT_TRUE(IsProtectedSecret(p)) << p;
        EXPECT_EQ(UnprotectSecret(p), std::optional<std::string>("password"));
        struct stat st {};
        ASSERT_EQ(::stat(SecretKeyPath().c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 32);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
}

// Programs killed while they made the key (here by a file-size limit, as
// they wrote it) each left their unfinished copy of it beside the key file,
// named after their process, for good: the next
// program that makes the key leaves none of them.
TEST_F(SecretTextTest, ProgramsKilledWhileTheyMadeTheKeyLeaveNoCopiesOfItBeside) {
    std::filesystem::remove(SecretKeyPath());
    for (int k = 0; k < 3; ++k) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{0, 0}; // the key file takes not one byte
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ProtectSecret("password");
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "program " << k << " was not stopped";
    }
    const std::string p = ProtectSecret("password");
    EXPECT_EQ(UnprotectSecret(p), std::optional<std::string>("password"));
    const std::filesystem::path key(SecretKeyPath());
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(key.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(key.filename().string(), 0) == 0) beside.push_back(name);
    }
    EXPECT_EQ(beside, std::vector<std::string>{key.filename().string()});
}

} // namespace
