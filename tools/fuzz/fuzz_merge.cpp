// Feeds the keyed text merge a destination and a source and holds its output to the plain
// search rule, byte for byte. Input: one byte choosing the encoding, two bytes giving the
// destination's length (high byte first), then the destination and the source.
#include "patch/merge_by_search_rule.h"
#include "patch/merge_keyed_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const auto encoding =
        data[0] & 1 ? platform::TextEncoding::Utf16 : platform::TextEncoding::Bytes8;
    const std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
    const std::size_t split = std::min<std::size_t>(rest.size(), data[1] * 256u + data[2]);
    const std::u16string destination = platform::decodeText(rest.substr(0, split), encoding);
    const std::u16string source = platform::decodeText(rest.substr(split), encoding);
    platform::TextInput destinationIn{destination, 0}, sourceIn{source, 0};
    platform::TextInput destinationAgain{destination, 0}, sourceAgain{source, 0};
    auto indexed = platform::createTextOutput(u"", encoding), plain = indexed;
    mergeKeyedText(destinationIn, sourceIn, indexed, 3000);
    search_rule::merge(destinationAgain, sourceAgain, plain);
    if (indexed.bytes != plain.bytes) {
        std::abort();
    }
    return 0;
}
