#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/vt5-skyframe/skyframe_options.h"
#include "tools/vt5-skyframe/skyframe_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "vt5-skyframe (Veltra-5 PC suite) " << VT5_VERSION << "\n";
        return 0;
    }
    std::string error;
    const auto options = skyframe::ParseOptions(args, error);
    if (!options) {
        std::cerr << "vt5-skyframe: " << error << "\n\n" << skyframe::UsageText();
        return 2;
    }
    if (options->help) {
        std::cout << skyframe::UsageText();
        return 0;
    }
    return skyframe::Run(*options, std::cout, std::cerr);
}
