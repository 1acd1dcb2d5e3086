#include "tools/programs/xmrender/RenderOptions.h"

#include <cstdlib>

namespace {

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// Digits with at most one decimal point and nothing else: no sign, blank, exponent or "inf".
bool isDecimal(const std::string& text) {
    bool digit = false, point = false;
    for (char c : text) {
        if (c == '.' && !point)
            point = true;
        else if (c >= '0' && c <= '9')
            digit = true;
        else
            return false;
    }
    return digit;
}

bool isWholeNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

bool parseLength(const std::string& text, double& seconds, std::string* error) {
    if (!isDecimal(text)) return fail(error, "--length takes seconds, such as 90 or 12.5, not '" + text + "'");
    seconds = std::strtod(text.c_str(), nullptr);
    if (!(seconds > 0.0)) return fail(error, "--length must be above 0 seconds");
    if (seconds > LongestRenderSeconds) return fail(error, "--length must be at most 86400 seconds");
    return true;
}

bool parsePasses(const std::string& text, uint32_t& passes, std::string* error) {
    if (!isWholeNumber(text)) return fail(error, "--loop takes a whole number of passes, not '" + text + "'");
    unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (value > MostPasses) return fail(error, "--loop must be at most 1000");
    passes = uint32_t(value);
    return true;
}

// The checks that need every option.
bool checkCombination(const RenderOptions& options, std::string* error) {
    if (options.help || options.version) return true;
    if (options.song == !options.input.empty())
        return fail(error, "give one module file (- for standard input) or --song (try --help)");
    if (options.timeline && options.output == "-" && !options.info)
        return fail(error, "--timeline prints to standard output; write the sound to a file");
    return true;
}

}  // namespace

bool parseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string* error) {
    options = RenderOptions{};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name, std::string& text) {
            if (i + 1 >= argc) return fail(error, std::string(name) + " needs a value");
            text = argv[++i];
            return true;
        };
        std::string text;
        bool ok = true;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--song") {
            options.song = true;
        } else if (arg == "-o" || arg == "--output") {
            ok = value("--output", options.output);
            if (ok && options.output.empty()) ok = fail(error, "--output needs a file name");
        } else if (arg == "-l" || arg == "--length") {
            ok = value("--length", text) && parseLength(text, options.seconds, error);
        } else if (arg == "--loop") {
            ok = value("--loop", text) && parsePasses(text, options.passes, error);
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--info") {
            options.info = true;
        } else if (arg == "-t" || arg == "--timeline") {
            options.timeline = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            ok = fail(error, "unknown option '" + arg + "' (try --help)");
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            ok = fail(error, "more than one input file");
        }
        if (!ok) return false;
    }
    return checkCombination(options, error);
}

const char* renderUsage() {
    return "usage: xmrender [options] (<file.xm> | - | --song)\n"
           "Renders an Extended Module to 44100 Hz 16-bit stereo, as a WAV file or raw PCM.\n"
           "  -                   read the module from standard input\n"
           "  --song              render the song embedded in the show\n"
           "  -o, --output FILE   file to write, - for standard output (default: out.wav); never\n"
           "                      the module being read\n"
           "  --raw               write headerless little-endian PCM instead of WAV\n"
           "  -l, --length SEC    stop after SEC seconds at most (up to 86400); a song cut short\n"
           "                      by it is said so on standard error\n"
           "  --loop N            play the song N times, up to 1000: its loop N - 1 more times\n"
           "                      (default: 1); 0 plays on up to the length (600 s unless given)\n"
           "  --info              print title, channels, orders, patterns, instruments, length\n"
           "  -t, --timeline      print one line per tick: frame order row tick milliseconds\n"
           "  --version           print the version and the commit it was built from\n"
           "  -h, --help          show this help\n"
           "The song ends where it would repeat itself or at a stop command. A WAV file holding\n"
           "more than 4 GiB of sound (about 6 h 45 min) is written as RF64.\n";
}
