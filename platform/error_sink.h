// Every error the system reports reaches the user through one error sink: in the program
// a modal message box titled "Error" (error_box_win32.cpp), in tests a recorder.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// Receives each finished message text, in order. The program's sink shows a message box
// and returns when the user has closed it.
struct ErrorSink {
    std::function<void(const std::u16string& text)> show;
};

// Longest message shown, terminator of the old fixed buffer included.
inline constexpr std::size_t errorMessageCapacity = 5000;

// Fills each "%s" of the pattern with the next argument; "%%" gives one "%", any other
// "%" stays as it is. The result is cut to errorMessageCapacity - 1 characters.
std::u16string formatMessage(std::u16string_view pattern,
                             std::initializer_list<std::u16string_view> arguments);

// Formats the pattern and shows it. Always true.
bool showError(const ErrorSink& sink, std::u16string_view pattern,
               std::initializer_list<std::u16string_view> arguments = {});

// Shows a text that is already composed (it may quote game files): nothing in it is read
// as a placeholder. Cut like a formatted message.
bool showComposedError(const ErrorSink& sink, std::u16string_view text);
