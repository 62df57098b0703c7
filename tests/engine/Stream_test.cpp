// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
#include "engine/Stream.h"
#include "tests/text_rows.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

void ExpectThrowsWith(const std::function<void()>& f, const char* message) {
    nerova::test::expectThrowWith<TStreamException>(f, message);
}

TEST(StringStreamTest, EmptyTextIsAtEndAtOnce) {
    StringStream s("");
    EXPECT_TRUE(s.AtEnd());
    ExpectThrowsWith([&] { s.ReadChar(); }, "end of stream");
    ExpectThrowsWith([&] { s.PeekChar(); }, "end of stream");
    ExpectThrowsWith([&] { s.StepBack(); }, "begining of stream");
    EXPECT_EQ(s.Position(), 1);
}

TEST(StringStreamTest, ReadPeekAndStepBack) {
    StringStream s("ab");
    EXPECT_EQ(s.ReadChar(), 'a');
    EXPECT_EQ(s.PeekChar(), 'b');
    EXPECT_EQ(s.PeekChar(), 'b');  // peeking does not move
    EXPECT_EQ(s.ReadChar(), 'b');
    EXPECT_TRUE(s.AtEnd());
    ExpectThrowsWith([&] { s.ReadChar(); }, "end of stream");
    EXPECT_EQ(s.Position(), 3);  // a failed read leaves the stream where it was
    s.StepBack();
    EXPECT_EQ(s.ReadChar(), 'b');
}

TEST(StringStreamTest, StepBackAtStartFailsOverNonEmptyText) {
    StringStream s("x");
    ExpectThrowsWith([&] { s.StepBack(); }, "begining of stream");
    EXPECT_EQ(s.ReadChar(), 'x');
}

TEST(StringStreamTest, KeepsItsOwnCopy) {
    std::string text = "12";
    StringStream s(text);
    text[0] = '9';
    EXPECT_EQ(s.ReadChar(), '1');
}

TEST(StringStreamTest, MultiByteCharacterComesOutByteByByte) {
    StringStream s("×");  // U+00D7: two bytes in UTF-8
    EXPECT_EQ(static_cast<unsigned char>(s.ReadChar()), 0xC3);
    EXPECT_EQ(static_cast<unsigned char>(s.ReadChar()), 0x97);
    EXPECT_TRUE(s.AtEnd());
}

// The base class's placeholder bodies, reached through a derived class that keeps them.
TEST(TInputStreamTest, PlaceholderBodies) {
    struct Bare : TInputStream {};
    Bare b;
    EXPECT_EQ(b.ReadChar(), 'x');
    EXPECT_EQ(b.PeekChar(), 'x');
    EXPECT_TRUE(b.AtEnd());
    EXPECT_NO_THROW(b.StepBack());
}

}  // namespace
