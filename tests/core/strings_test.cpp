// String helpers and the message sink. qel::information needs a
// QApplication and a user to close the box, so it is not called here.

#include "core/strings.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringsCase, EmptyStrings) {
    EXPECT_EQ(qel::toUpper(""), "");
    EXPECT_EQ(qel::toLower(""), "");
    EXPECT_EQ(qel::toSpaceMaj(""), "");
}

TEST(StringsCase, UpperAndLower) {
    EXPECT_EQ(qel::toUpper(".tl"), ".TL");
    EXPECT_EQ(qel::toUpper("Scene_01.obj"), "SCENE_01.OBJ");
    EXPECT_EQ(qel::toLower("Scene_01.OBJ"), "scene_01.obj");
    EXPECT_EQ(qel::toUpper("0123 !?-_"), "0123 !?-_");
}

TEST(StringsCase, BytesOfUtf8PassUnchanged) {
    // "é.obj" and "ÉTÉ.TLO" in UTF-8: bytes >= 0x80 go through unsigned char.
    const std::string e = "\xc3\xa9.obj";
    EXPECT_EQ(qel::toUpper(e), "\xc3\xa9.OBJ");
    const std::string f = "\xc3\x89T\xc3\x89.TLO";
    EXPECT_EQ(qel::toLower(f), "\xc3\x89t\xc3\x89.tlo");
    EXPECT_EQ(qel::toUpper(f).size(), f.size());
    std::string all;
    for (int c = 0; c < 256; ++c) all += char(c);
    EXPECT_EQ(qel::toUpper(all).size(), 256u);
    EXPECT_EQ(qel::toLower(all).size(), 256u);
}

TEST(StringsSpaceMaj, ListedCases) {
    EXPECT_EQ(qel::toSpaceMaj("CounterAlign"), "Counter Align");
    EXPECT_EQ(qel::toSpaceMaj("ABC"), "A B C");
    EXPECT_EQ(qel::toSpaceMaj("x2"), "x 2");
    EXPECT_EQ(qel::toSpaceMaj("a b"), "a  b");
    EXPECT_EQ(qel::toSpaceMaj("A"), "A");
    EXPECT_EQ(qel::toSpaceMaj("lower"), "lower");
    EXPECT_EQ(qel::toSpaceMaj("Move.X"), "Move . X");
}

TEST(StringsHex, IntToHex) {
    EXPECT_EQ(qel::INT_HEX(0), "0");
    EXPECT_EQ(qel::INT_HEX(255), "ff");
    EXPECT_EQ(qel::INT_HEX(0xABCDEF02u), "abcdef02");
    EXPECT_EQ(qel::INT_HEX(0xFFFFFFFFu), "ffffffff");
    EXPECT_EQ(qel::INT_HEX(16), "10");
}

TEST(StringsHex, HexToInt) {
    EXPECT_EQ(qel::HEX_INT("FF"), 255u);
    EXPECT_EQ(qel::HEX_INT("ff"), 255u);
    EXPECT_EQ(qel::HEX_INT("1g"), 1u);
    EXPECT_EQ(qel::HEX_INT("zz"), 0u);
    EXPECT_EQ(qel::HEX_INT(""), 0u);
    EXPECT_EQ(qel::HEX_INT("  \t1A"), 26u);
    EXPECT_EQ(qel::HEX_INT("ffffffff"), 0xFFFFFFFFu);
    EXPECT_EQ(qel::HEX_INT("0x10"), 16u);
}

TEST(StringsHex, RoundTrip) {
    for (unsigned v : {0u, 1u, 9u, 10u, 4095u, 0xE0000001u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        EXPECT_EQ(qel::HEX_INT(qel::INT_HEX(v)), v);
}

TEST(StringsLog, DiscardsEverything) {
    qel::logmsg("TESSILOR LOG FILE", true);
    qel::logmsg("ERROR Texture2D::load missing.png", false);
    qel::logmsg("");
    qel::logmsg(std::string(100000, 'x'), false);
    SUCCEED();
}
