#include "cpuengine/CommandLine.h"

#include <stdexcept>

namespace cpuengine {

namespace {

int parseInt(const std::string& option, const std::string& value, int low, int high)
{
    std::size_t used = 0;
    int number = 0;
    try {
        number = std::stoi(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != value.size() || value.empty() || number < low || number > high)
        throw std::invalid_argument("option " + option + " needs a whole number from " +
                                    std::to_string(low) + " to " + std::to_string(high) +
                                    ", not \"" + value + "\"");
    return number;
}

} // namespace

std::string CommandLine::paramPath() const
{
    std::string base = modelsFolder + "/" + model;
    if (model == "realesr-animevideov3")
        base += "-x" + std::to_string(modelScale);
    return base + ".param";
}

std::string CommandLine::binPath() const
{
    const std::string param = paramPath();
    return param.substr(0, param.size() - 6) + ".bin";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "-h" || option == "--help") {
            line.help = true;
            continue;
        }
        if (option == "--version") {
            line.version = true;
            continue;
        }
        if (option == "-v")
            continue;
        if (i + 1 >= arguments.size())
            throw std::invalid_argument("option " + option + " needs a value");
        const std::string& value = arguments[++i];
        if (option == "-i")
            line.input = value;
        else if (option == "-o")
            line.output = value;
        else if (option == "-n")
            line.model = value;
        else if (option == "-m")
            line.modelsFolder = value;
        else if (option == "-f")
            line.format = value;
        else if (option == "-s")
            line.scale = parseInt(option, value, 1, 16);
        else if (option == "-z")
            line.modelScale = parseInt(option, value, 1, 16);
        else if (option == "-t")
            line.tile = parseInt(option, value, 0, 1 << 16);
        else if (option == "--overlap")
            line.overlap = parseInt(option, value, 0, 1024);
        else if (option == "--precision") {
            if (value == "fp32")
                line.precision = Precision::Float32;
            else if (value == "bf16")
                line.precision = Precision::BFloat16;
            else
                throw std::invalid_argument("option --precision takes fp32 or bf16");
        } else if (option == "--stream") {
            const auto x = value.find('x');
            if (x == std::string::npos)
                throw std::invalid_argument("option --stream needs WIDTHxHEIGHT, not \"" + value +
                                            "\"");
            line.stream = true;
            line.streamWidth = parseInt(option, value.substr(0, x), 1, 1 << 15);
            line.streamHeight = parseInt(option, value.substr(x + 1), 1, 1 << 15);
        } else if (option == "-g" || option == "-j") {
            // GPU and thread-count choices of the Vulkan engine; the processor is used as a whole.
        } else {
            throw std::invalid_argument("unknown option " + option);
        }
    }
    if (!line.help && !line.version && !line.stream && (line.input.empty() || line.output.empty()))
        throw std::invalid_argument("an input (-i) and an output (-o) are needed");
    if (!line.format.empty() && line.format != "png" && line.format != "jpg" &&
        line.format != "webp")
        throw std::invalid_argument("option -f takes png, jpg or webp");
    return line;
}

const char* usageText()
{
    return "Usage: korvane-engine -i INPUT -o OUTPUT [-n MODEL] [-s SCALE] [-m MODELS] [-t TILE]\n"
           "                      [-f png|jpg|webp] [-z MODEL_SCALE] [--precision fp32|bf16]\n"
           "       korvane-engine --stream WIDTHxHEIGHT [-n MODEL] [-s SCALE] [-m MODELS] ...\n"
           "       korvane-engine --version\n"
           "Upscales a picture, every picture of a folder, or raw RGB frames from standard\n"
           "input to standard output, on the processor.\n";
}

} // namespace cpuengine
