#include "tools/programs/capture/CaptureOptions.h"

#include <cstring>

namespace {

// A decimal number in [low, high] making up the whole of text.
bool parseNumber(const std::string& text, uint64_t low, uint64_t high, uint64_t* value) {
    if (text.empty() || text.size() > 12) return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + uint64_t(c - '0');
    }
    if (result < low || result > high) return false;
    *value = result;
    return true;
}

// N or N/D, each part 1..1000000, the rate itself between 1 and 1000 frames a second.
bool parseRate(const std::string& text, FrameRate* rate) {
    size_t slash = text.find('/');
    uint64_t numerator = 0, denominator = 1;
    if (!parseNumber(text.substr(0, slash), 1, 1000000, &numerator)) return false;
    if (slash != std::string::npos && !parseNumber(text.substr(slash + 1), 1, 1000000, &denominator)) return false;
    if (numerator < denominator || numerator > denominator * 1000) return false;
    *rate = FrameRate{uint32_t(numerator), uint32_t(denominator)};
    return true;
}

// ORDER:ROW[,ORDER:ROW...], each part 0..255.
bool parsePositions(const std::string& text, std::vector<SongPosition>* positions) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        size_t colon = item.find(':');
        uint64_t order = 0, row = 0;
        if (colon == std::string::npos || !parseNumber(item.substr(0, colon), 0, 255, &order) ||
            !parseNumber(item.substr(colon + 1), 0, 255, &row))
            return false;
        positions->push_back(SongPosition{int32_t(order), int32_t(row)});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return true;
}

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// The checks that need every option: something to write, and nothing contradictory.
bool checkCombination(CaptureOptions* options, std::string* error) {
    if (options->output.empty() && options->wavPath.empty() && options->pngDirectory.empty() && !options->hash)
        return fail(error, "nothing to write: give -o FILE, --wav FILE, --png DIR or --hash (see --help)");
    if (!options->output.empty() && options->format == VideoFormat::None) {
        options->format = formatFromFileName(options->output);
        if (options->format == VideoFormat::None)
            return fail(error, "cannot tell the video format from " + options->output + "; add --format mp4 or mkv");
    }
    if (options->output.empty() && options->format != VideoFormat::None)
        return fail(error, "--format needs a video file (-o FILE)");
    if (!options->at.empty() && (!options->output.empty() || !options->wavPath.empty()))
        return fail(error, "--at takes single frames: it goes with --png and --hash, not with -o or --wav");
    if (options->fromOrder > options->toOrder) return fail(error, "--from is past --to");
    return true;
}

}  // namespace

VideoFormat formatFromFileName(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return VideoFormat::None;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == "mp4" || extension == "m4v") return VideoFormat::Mp4;
    if (extension == "mkv") return VideoFormat::Mkv;
    return VideoFormat::None;
}

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions* options, std::string* error) {
    *options = CaptureOptions{};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        auto takesValue = [&](bool* ok) {
            *ok = true;
            if (inlineValue) return;
            if (i + 1 >= argc) {
                *ok = fail(error, arg + " needs a value (see --help)");
                return;
            }
            value = argv[++i];
        };
        bool ok = true;
        uint64_t number = 0;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            return true;
        } else if (arg == "--version" && !inlineValue) {
            options->version = true;
            return true;
        } else if (arg == "--hash" && !inlineValue) {
            options->hash = true;
        } else if (arg == "--no-fonts" && !inlineValue) {
            options->fonts = false;
        } else if (arg == "-o" || arg == "--output") {
            takesValue(&ok);
            if (ok && value.empty()) ok = fail(error, arg + " needs a file name");
            options->output = value;
        } else if (arg == "--fps") {
            takesValue(&ok);
            if (ok && !parseRate(value, &options->rate))
                ok = fail(error, "--fps takes N or N/D, between 1 and 1000 frames a second, not '" + value + "'");
        } else if (arg == "--scale") {
            takesValue(&ok);
            if (ok && !parseNumber(value, 1, 8, &number)) ok = fail(error, "--scale takes 1 to 8, not '" + value + "'");
            options->scale = int32_t(number);
        } else if (arg == "--format") {
            takesValue(&ok);
            options->format = value == "mp4" ? VideoFormat::Mp4 : value == "mkv" ? VideoFormat::Mkv : VideoFormat::None;
            if (ok && options->format == VideoFormat::None)
                ok = fail(error, "--format takes mp4 or mkv, not '" + value + "'");
        } else if (arg == "--wav" || arg == "--png") {
            takesValue(&ok);
            if (ok && value.empty()) ok = fail(error, arg + " needs a name");
            (arg == "--wav" ? options->wavPath : options->pngDirectory) = value;
        } else if (arg == "--at") {
            takesValue(&ok);
            if (ok && !parsePositions(value, &options->at))
                ok = fail(error, "--at takes ORDER:ROW[,ORDER:ROW...] (each 0-255), not '" + value + "'");
        } else if (arg == "--from" || arg == "--to") {
            takesValue(&ok);
            if (ok && !parseNumber(value, 0, 255, &number))
                ok = fail(error, arg + " takes an order from 0 to 255, not '" + value + "'");
            (arg == "--from" ? options->fromOrder : options->toOrder) = int32_t(number);
        } else if (!arg.empty() && arg[0] == '-') {
            ok = fail(error, "unknown option " + arg + " (see --help)");
        } else {
            ok = fail(error, "unexpected argument '" + arg + "' (the video file goes after -o; see --help)");
        }
        if (!ok) return false;
    }
    return checkCombination(options, error);
}

const char* captureUsage() {
    return "usage: capture [options]\n"
           "Renders the whole show, exactly as it plays, into a video file with its sound, faster than\n"
           "real time and the same on every run. The encoding is done by the ffmpeg program.\n"
           "  -o, --output FILE  the video file to write (.mp4 or .mkv)\n"
           "  --format mp4|mkv   mp4: H.264 4:2:0 and AAC; mkv: lossless FFV1 (RGB) and FLAC\n"
           "                     [from the file name]\n"
           "  --fps N[/D]        frames a second, a whole number or a fraction such as 60000/1001 [50]\n"
           "  --scale K          enlarge each pixel to K x K (1-8); 2 or 3 survives 4:2:0 chroma [1]\n"
           "  --wav FILE         also write the sound as a 44100 Hz 16-bit stereo WAV file\n"
           "  --png DIR          also write every frame as DIR/frame-NNNNNN.png (and the loading\n"
           "                     screens as DIR/loading-NN.png)\n"
           "  --at ORDER:ROW,... only the first frame at each of these song positions (with --png:\n"
           "                     DIR/order-OO-row-RR.png; with --hash: one line ORDER:ROW FRAME HASH each)\n"
           "  --from ORDER       start the capture at this order [0]\n"
           "  --to ORDER         end it after this order [the end of the show]\n"
           "  --hash             print a hash of the raw frames and one of the sound\n"
           "  --no-fonts         leave the captions blank (frames that do not depend on the fonts)\n"
           "  --version          print the version and the commit it was built from\n"
           "  -h, --help         show this text\n"
           "Exit status: 0 when everything asked for was written, 1 when something failed,\n"
           "2 for a bad command line.\n";
}
