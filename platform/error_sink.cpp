#include "platform/error_sink.h"

std::u16string formatMessage(std::u16string_view pattern,
                             std::initializer_list<std::u16string_view> arguments) {
    std::u16string text;
    const std::size_t limit = errorMessageCapacity - 1;
    auto argument = arguments.begin();
    for (std::size_t i = 0; i < pattern.size() && text.size() < limit; ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == u's') {
                if (argument != arguments.end()) {
                    text.append(*argument++);
                }
                ++i;
                continue;
            }
            if (pattern[i + 1] == u'%') {
                text += u'%';
                ++i;
                continue;
            }
        }
        text += pattern[i];
    }
    if (text.size() > limit) {
        text.resize(limit);
    }
    return text;
}

bool showError(const ErrorSink& sink, std::u16string_view pattern,
               std::initializer_list<std::u16string_view> arguments) {
    return showComposedError(sink, formatMessage(pattern, arguments));
}

bool showComposedError(const ErrorSink& sink, std::u16string_view text) {
    std::u16string shown(text.substr(0, errorMessageCapacity - 1));
    if (sink.show) {
        sink.show(shown);
    }
    return true;
}
