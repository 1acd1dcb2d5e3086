// xmrender: plays an Extended Module through the show's own player, offline, into a WAV file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "music/SongRender.h"
#include "tools/xmrender/WavWriter.h"

#if defined(XMRENDER_HAS_SONG)
#include "assets/Song.h"
#endif

namespace {

const char* usage =
    "usage: xmrender [options] (<file.xm> | --song)\n"
    "Renders an Extended Module to 44100 Hz 16-bit stereo, as a WAV file or raw PCM.\n"
    "  --song              render the song embedded in the show\n"
    "  -o, --output FILE   file to write, - for standard output (default: out.wav)\n"
    "  --raw               write headerless little-endian PCM instead of WAV\n"
    "  -l, --length SEC    stop after SEC seconds at most (default: 600)\n"
    "  --loop N            play the song N times: its loop N - 1 more times; 0 plays on\n"
    "                      up to the length (default: 1)\n"
    "  --info              print title, channels, orders, patterns, instruments, length\n"
    "  -t, --timeline      print one line per tick: frame order row tick milliseconds\n"
    "  -h, --help          show this help\n"
    "The song ends where it would repeat itself or at a stop command.\n";

struct Options {
    std::string input;
    std::string output = "out.wav";
    double seconds = 600.0;
    uint32_t passes = 1;
    bool song = false;
    bool raw = false;
    bool info = false;
    bool timeline = false;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "xmrender: %s\n", message.c_str());
    return 1;
}

bool parseArguments(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (arg == "--song") {
            options.song = true;
        } else if (arg == "-o" || arg == "--output") {
            const char* v = value("--output");
            if (!v) return false;
            options.output = v;
        } else if (arg == "-l" || arg == "--length") {
            const char* v = value("--length");
            if (!v) return false;
            char* end = nullptr;
            options.seconds = std::strtod(v, &end);
            if (!end || *end != 0 || !(options.seconds > 0.0) || options.seconds > 86400.0) {
                error = std::string("bad length '") + v + "' (seconds, above 0)";
                return false;
            }
        } else if (arg == "--loop") {
            const char* v = value("--loop");
            if (!v) return false;
            char* end = nullptr;
            unsigned long passes = std::strtoul(v, &end, 10);
            if (!end || *end != 0 || *v == 0 || *v == '-' || passes > 1000) {
                error = std::string("bad loop count '") + v + "' (0 to 1000)";
                return false;
            }
            options.passes = uint32_t(passes);
        } else if (arg == "--raw") {
            options.raw = true;
        } else if (arg == "--info") {
            options.info = true;
        } else if (arg == "-t" || arg == "--timeline") {
            options.timeline = true;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option '" + arg + "' (try --help)";
            return false;
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            error = "more than one input file";
            return false;
        }
    }
    if (options.song == !options.input.empty()) {
        error = "give one module file or --song (try --help)";
        return false;
    }
    if (options.timeline && options.output == "-" && !options.info) {
        error = "--timeline prints to standard output; write the sound to a file";
        return false;
    }
    return true;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    const size_t limit = size_t(1) << 30;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > limit) {
            std::fclose(file);
            error = path + " is too large for a module";
            return false;
        }
    }
    bool ok = !std::ferror(file);
    std::fclose(file);
    if (!ok) error = "cannot read " + path;
    return ok;
}

// The image's own text field at offset, up to width bytes, without trailing blanks.
std::string textField(const uint8_t* image, uint32_t size, uint32_t offset, uint32_t width) {
    std::string text;
    for (uint32_t i = offset; i < offset + width && i < size && image[i] != 0; ++i)
        text.push_back(image[i] >= 32 && image[i] < 127 ? char(image[i]) : '?');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void printInfo(const uint8_t* image, uint32_t size, const Module& module, uint64_t frames, uint64_t limit) {
    uint32_t samples = 0;
    for (int i = 0; i < module.instrumentCount; ++i) samples += module.instruments[i].sampleCount;
    uint16_t version = size >= 60 ? uint16_t(image[58] | (image[59] << 8)) : 0;
    std::printf("title        %s\n", textField(image, size, 17, 20).c_str());
    std::printf("tracker      %s\n", textField(image, size, 38, 20).c_str());
    std::printf("version      0x%04X\n", unsigned(version));
    std::printf("channels     %d\n", module.channels);
    std::printf("orders       %d\n", module.songLength);
    std::printf("patterns     %u\n", module.patternSlots);
    std::printf("instruments  %d\n", module.instrumentCount);
    std::printf("samples      %u\n", samples);
    std::printf("length       %.2f s%s\n", double(frames) / 44100.0,
                frames >= limit ? " (cut at the length limit)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseArguments(argc, argv, options, error)) return fail(error);

    std::vector<uint8_t> bytes;
    const uint8_t* image = nullptr;
    uint32_t size = 0;
    std::string name = options.input;
    if (options.song) {
#if defined(XMRENDER_HAS_SONG)
        image = songImage;
        size = songImageSize;
        name = "the embedded song";
#else
        return fail("no song is embedded in this build");
#endif
    } else {
        if (!readFile(options.input, bytes, error)) return fail(error);
        image = bytes.data();
        size = uint32_t(bytes.size());
    }

    const char* reason = nullptr;
    SongRender* render = SongRender::open(image, size, &reason);
    if (!render) return fail("cannot play " + name + ": " + (reason ? reason : "unknown reason"));
    render->passes = options.passes;
    uint64_t limit = uint64_t(options.seconds * 44100.0);

    if (options.info) {
        uint64_t frames = limit;
        if (options.passes != 0) SongRender::measure(image, size, options.passes, limit, frames);
        printInfo(image, size, *render->module, frames, limit);
        SongRender::close(render);
        return 0;
    }

    std::vector<SongTick> ticks;
    if (options.timeline) render->timeline = &ticks;
    WavWriter out{};
    if (!WavWriter::open(out, options.output.c_str(), 44100, options.raw)) {
        SongRender::close(render);
        return fail("cannot write " + options.output + ": " + std::strerror(errno));
    }
    // A header that cannot be rewritten later is written with the length the sequencer alone
    // finds beforehand; rendering then gives exactly that many frames.
    uint64_t expected = 0;
    if (!out.seekable && !options.raw) {
        expected = limit;
        if (options.passes != 0) SongRender::measure(image, size, options.passes, limit, expected);
    }
    bool ok = WavWriter::start(out, expected);
    std::vector<int16_t> pcm(size_t(8192) * 2);
    uint64_t done = 0;
    while (done < limit && ok) {
        uint32_t want = limit - done < 8192 ? uint32_t(limit - done) : 8192;
        uint32_t got = SongRender::render(render, pcm.data(), want, options.passes != 0);
        ok = WavWriter::write(out, pcm.data(), got);
        for (const SongTick& t : ticks)
            std::printf("%llu %d %d %d %d\n", (unsigned long long)t.frame, t.order, t.row, t.tick, t.elapsedMs);
        ticks.clear();
        done += got;
        if (got < want) break;
    }
    SongRender::close(render);
    if (!WavWriter::finish(out) || !ok) return fail("cannot write " + options.output);
    return 0;
}
