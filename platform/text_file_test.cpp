#include "platform/file_system.h"
#include "platform/text_file.h"
#include "testing/test_support.h"

using namespace testing_support;
using platform::TextEncoding;

TEST(TextFiles, EightBitRoundTripKeepsEveryByteAndWritesCrLf) {
    ScratchFolder scratch;
    std::u16string text;
    for (char16_t c = 1; c < 256; ++c) {
        if (c != u'\r') {
            text += c;
        }
    }
    text += u"\nlast";
    auto out = platform::createTextOutput(u"a.txt", TextEncoding::Bytes8);
    platform::writeText(out, text);
    ASSERT_TRUE(platform::closeTextOutput(out));
    const std::string bytes = readFile(u"a.txt");
    EXPECT_EQ(bytes.size(), text.size() + 2); // two line breaks, each one byte more
    EXPECT_NE(bytes.find("\r\nlast"), std::string::npos);
    platform::TextInput in;
    ASSERT_TRUE(platform::openTextInput(u"a.txt", TextEncoding::Bytes8, in));
    EXPECT_EQ(in.text, text);
}

TEST(TextFiles, Utf16MarkIsWrittenOnceAndSkippedOnReading) {
    ScratchFolder scratch;
    auto out = platform::createTextOutput(u"u.txt", TextEncoding::Utf16);
    platform::writeText(out, u"{K}\u0416\n");
    ASSERT_TRUE(platform::closeTextOutput(out));
    auto more = platform::appendTextOutput(u"u.txt", TextEncoding::Utf16);
    platform::writeText(more, u"\u20AC");
    ASSERT_TRUE(platform::closeTextOutput(more));
    EXPECT_EQ(readFile(u"u.txt"), std::string("\xFF\xFE{\0K\0}\0\x16\x04\r\0\n\0\xAC\x20", 16));
    platform::TextInput in;
    ASSERT_TRUE(platform::openTextInput(u"u.txt", TextEncoding::Utf16, in));
    EXPECT_EQ(in.text, u"{K}\u0416\n\u20AC");

    auto fresh = platform::appendTextOutput(u"new.txt", TextEncoding::Utf16);
    platform::writeText(fresh, u"x");
    ASSERT_TRUE(platform::closeTextOutput(fresh));
    EXPECT_EQ(readFile(u"new.txt"), std::string("\xFF\xFEx\0", 4));
}

TEST(TextFiles, LonePiecesPushBackAndRewind) {
    platform::TextInput in;
    in.text = platform::decodeText("abc\r\ndefgh\rX\r\n\r\nend", TextEncoding::Bytes8);
    EXPECT_EQ(in.text, u"abc\ndefgh\rX\n\nend"); // a lone CR stays a character
    std::u16string piece;
    ASSERT_TRUE(platform::readLinePiece(in, 3, piece));
    EXPECT_EQ(piece, u"abc");
    ASSERT_TRUE(platform::readLinePiece(in, 3, piece));
    EXPECT_EQ(piece, u"\n");
    ASSERT_TRUE(platform::readLinePiece(in, 100, piece));
    EXPECT_EQ(piece, u"defgh\rX\n");
    EXPECT_EQ(platform::readChar(in), u'\n');
    platform::unreadChar(in);
    EXPECT_EQ(platform::readChar(in), u'\n');
    ASSERT_TRUE(platform::readLinePiece(in, 100, piece));
    EXPECT_EQ(piece, u"end");
    EXPECT_FALSE(platform::readLinePiece(in, 100, piece));
    EXPECT_EQ(platform::readChar(in), -1);
    platform::rewindInput(in);
    EXPECT_EQ(platform::readChar(in), u'a');
}

TEST(TextFiles, EncodingAndDecoding) {
    // A character above 255 ends an 8-bit write; UTF-16 has CR LF too, an odd byte is dropped.
    EXPECT_EQ(platform::encodeText(u"ab\u0100cd\n", TextEncoding::Bytes8), "ab");
    EXPECT_EQ(platform::encodeText(u"\u00ACx\n", TextEncoding::Bytes8), "\xACx\r\n");
    EXPECT_EQ(platform::decodeText(std::string("\xFF\xFE"
                                               "a\0\r\0\n\0\r\0b\0z",
                                               13),
                                   TextEncoding::Utf16),
              u"a\n\rb");
    EXPECT_EQ(platform::encodeText(u"a\nb", TextEncoding::Utf16), std::string("a\0\r\0\n\0b\0", 8));
}

TEST(TextFiles, FailedWriteIsReported) {
    ScratchFolder scratch;
    auto out = platform::createTextOutput(u"no-such-folder\\x.txt", TextEncoding::Bytes8);
    platform::writeText(out, u"x");
    EXPECT_FALSE(platform::closeTextOutput(out));
    platform::TextInput in;
    EXPECT_FALSE(platform::openTextInput(u"missing.txt", TextEncoding::Bytes8, in));
}
