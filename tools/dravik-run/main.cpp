// dravik-run: applies a configuration to a game folder without any window, through the same
// code the program's windows use. A developer and test tool; the product has no command line.
#include "run_command.h"

#include <cstdio>

namespace {

int run(const std::vector<std::u16string>& arguments) {
    const RunnerOutput output{[](const std::string& line) {
                                  std::fputs(line.c_str(), stdout);
                                  std::fputc('\n', stdout);
                                  std::fflush(stdout);
                              },
                              [](const std::string& line) {
                                  std::fputs(line.c_str(), stderr);
                                  std::fputc('\n', stderr);
                                  std::fflush(stderr);
                              }};
    return runDravikCommand(arguments, output);
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    }
    return run(arguments);
}
#else
#include "platform/unicode.h"

int main(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(platform::utf8ToUtf16(argv[i]));
    }
    return run(arguments);
}
#endif
