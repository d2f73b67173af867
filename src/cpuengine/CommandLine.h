#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cpuengine/Precision.h"

namespace cpuengine {

// What one run of korvane-engine is asked to do. The picture and folder options are those of the
// Vulkan engine (-i -o -n -s -t -m -f -z; -g, -j and -v are accepted and have no effect here);
// --stream WxH reads raw RGB frames of that size from standard input and writes the upscaled
// frames to standard output instead.
struct CommandLine {
    std::string input;
    std::string output;
    std::string model = "realesr-animevideov3";
    std::string modelsFolder = "models";
    std::string format; // empty: from the output's extension
    int scale = 4;
    int modelScale = 4;
    int tile = 0;
    int overlap = -1;
    // --precision fp32|bf16 forces the number format; without it, bf16 where the processor has
    // bf16 instructions and fp32 elsewhere.
    std::optional<Precision> precision;
    bool stream = false;
    int streamWidth = 0;
    int streamHeight = 0;
    bool help = false;
    bool version = false; // --version: print the version and exit

    // The .param and .bin paths of the chosen model. The anime video model is stored once per
    // model scale.
    std::string paramPath() const;
    std::string binPath() const;
};

// Parses the arguments (without the program name); throws std::invalid_argument with a message
// that names the option at fault.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

const char* usageText();

} // namespace cpuengine
