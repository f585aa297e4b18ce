#include "platform/file_system.h"
#include "platform/text_file.h"
#include "testing/test_support.h"

using namespace testing_support;
using platform::TextEncoding;

TEST(TextFiles, DecodingAndEncoding) {
    const struct {
        std::string bytes;
        TextEncoding encoding;
        std::u16string text;
    } cases[] = {
        // CR LF is one line break, a lone CR a character; every byte is one character.
        {"a\r\n\r\nb\rc\r\n", TextEncoding::Bytes8, u"a\n\nb\rc\n"},
        {"\xFF\xFE\xAC", TextEncoding::Bytes8, u"\u00FF\u00FE\u00AC"},
        {"\xFF"
         "1234567\xFF\r\n\xFF",
         TextEncoding::Bytes8, u"\u00FF1234567\u00FF\n\u00FF"},
        // A leading byte-order mark is skipped; a last odd byte is no character.
        {std::string("\xFF\xFE"
                     "a\0\r\0\n\0\r\0\n\0\r\0b\0z",
                     17),
         TextEncoding::Utf16, u"a\n\n\rb"},
        {std::string("\xFE\xFF\x16\x04", 4), TextEncoding::Utf16, u"\uFFFE\u0416"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::decodeText(c.bytes, c.encoding), c.text) << c.bytes;
        // 8-bit text is written back byte for byte, up to U+00FF.
        if (c.encoding == TextEncoding::Bytes8) {
            EXPECT_EQ(platform::encodeText(c.text, c.encoding), c.bytes);
        }
    }
    // A character above 255 ends an 8-bit write, the highest as much as the lowest.
    EXPECT_EQ(platform::encodeText(u"\u00ACx\nb\u0100cd\n", TextEncoding::Bytes8), "\xACx\r\nb");
    EXPECT_EQ(platform::encodeText(u"\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\u00FF\uFFFF",
                                   TextEncoding::Bytes8),
              std::string(7, '\xFF'));
    EXPECT_EQ(platform::encodeText(u"a\nb", TextEncoding::Utf16), std::string("a\0\r\0\n\0b\0", 8));
}

// Appending writes the byte order mark only into a file that is new.
TEST(TextFiles, FilesWriteOneByteOrderMarkAndReadBack) {
    ScratchFolder scratch;
    for (const std::u16string_view text : {u"{K}\u0416\n", u"\u20AC"}) {
        auto out = platform::appendTextOutput(u"u.txt", TextEncoding::Utf16);
        platform::writeText(out, text);
        ASSERT_TRUE(platform::closeTextOutput(out));
    }
    EXPECT_EQ(readFile(u"u.txt"), std::string("\xFF\xFE{\0K\0}\0\x16\x04\r\0\n\0\xAC\x20", 16));
    platform::TextInput in;
    ASSERT_TRUE(platform::openTextInput(u"u.txt", TextEncoding::Utf16, in));
    EXPECT_EQ(in.text, u"{K}\u0416\n\u20AC");
}
