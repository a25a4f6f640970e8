// Password hashing of workgroup and database files, against published vectors.
#include "db/Sha256.h"

#include <gtest/gtest.h>

using namespace dao;

TEST(PasswordHash, Pbkdf2Sha256MatchesPublishedVectors) {
    // RFC 7914, section 11.
    EXPECT_EQ(ToHex(Pbkdf2Sha256("passwd", "salt", 1, 64)),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
    // Two iterations: the widely published PBKDF2-HMAC-SHA256 vector.
    EXPECT_EQ(ToHex(Pbkdf2Sha256("password", "salt", 2, 32)),
              "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43");
}

TEST(PasswordHash, HmacSha256MatchesRfc4231) {
    // RFC 4231, test case 2.
    EXPECT_EQ(ToHex(HmacSha256("Jefe", "what do ya want for nothing?")),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
}
