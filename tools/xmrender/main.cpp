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
    "Renders an Extended Module to a 44100 Hz 16-bit stereo WAV file.\n"
    "  --song              render the song embedded in the show\n"
    "  -o, --output FILE   WAV file to write (default: out.wav)\n"
    "  -l, --length SEC    stop after SEC seconds (default: 600)\n"
    "  --loop              keep playing past the song's end (up to the length)\n"
    "  -t, --timeline      print one line per tick: frame order row tick milliseconds\n"
    "  -h, --help          show this help\n";

struct Options {
    std::string input;
    std::string output = "out.wav";
    double seconds = 600.0;
    bool song = false;
    bool loop = false;
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
            options.loop = true;
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
    std::vector<SongTick> ticks;
    if (options.timeline) render->timeline = &ticks;

    WavWriter wav{};
    if (!WavWriter::open(wav, options.output.c_str(), 44100)) {
        SongRender::close(render);
        return fail("cannot write " + options.output + ": " + std::strerror(errno));
    }
    uint64_t limit = uint64_t(options.seconds * 44100.0);
    std::vector<int16_t> pcm(size_t(8192) * 2);
    uint64_t done = 0;
    bool ok = true;
    while (done < limit && ok) {
        uint32_t want = limit - done < 8192 ? uint32_t(limit - done) : 8192;
        uint32_t got = SongRender::render(render, pcm.data(), want, !options.loop);
        ok = WavWriter::write(wav, pcm.data(), got);
        for (const SongTick& t : ticks)
            std::printf("%llu %d %d %d %d\n", (unsigned long long)t.frame, t.order, t.row, t.tick, t.elapsedMs);
        ticks.clear();
        done += got;
        if (got < want) break;
    }
    SongRender::close(render);
    if (!WavWriter::finish(wav) || !ok) return fail("cannot write " + options.output);
    return 0;
}
