// xmrender: plays an Extended Module through the show's own player, offline, into a WAV file.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BuildVersion.h"
#include "music/SongRender.h"
#include "tools/common/WavWriter.h"
#include "tools/programs/xmrender/FileIdentity.h"
#include "tools/programs/xmrender/ModuleInput.h"
#include "tools/programs/xmrender/RenderOptions.h"

#if defined(XMRENDER_HAS_SONG)
#include "assets/Song.h"
#endif

namespace {

constexpr uint32_t Rate = 44100;

int fail(const std::string& message) {
    std::fprintf(stderr, "xmrender: %s\n", message.c_str());
    return 1;
}

// The module to play: the embedded song, or a file's bytes.
struct Source {
    const uint8_t* image = nullptr;
    uint32_t size = 0;
    std::string name;
    FileIdentity identity;  // of the file read; unknown for the embedded song
    ModuleInput input;
};

bool loadSource(const RenderOptions& options, Source& source, std::string* error) {
    if (options.song) {
#if defined(XMRENDER_HAS_SONG)
        source.image = songImage;
        source.size = songImageSize;
        source.name = "the embedded song";
        return true;
#else
        *error = "no song is embedded in this build";
        return false;
#endif
    }
    if (!ModuleInput::read(source.input, options.input, error)) return false;
    source.image = source.input.bytes.data();
    source.size = uint32_t(source.input.bytes.size());
    source.name = source.input.name;
    source.identity = source.input.identity;
    return true;
}

// How much to render: the song's passes, cut at the length limit (--length, or the longest render;
// --loop 0 plays up to --length or 600 s).
struct RenderLength {
    uint64_t frames;  // to render
    double limitSeconds;
    bool cut;  // the passes asked for last longer than the limit
};

RenderLength planLength(const Source& source, const RenderOptions& options) {
    double seconds = options.seconds > 0.0 ? options.seconds
                     : options.passes == 0 ? EndlessRenderSeconds
                                           : LongestRenderSeconds;
    uint64_t limit = uint64_t(seconds * Rate);
    if (options.passes == 0) return RenderLength{limit, seconds, false};
    uint64_t frames = limit;
    SongRender::measure(source.image, source.size, options.passes, limit + 1, frames);
    return RenderLength{frames > limit ? limit : frames, seconds, frames > limit};
}

// A length limit never cuts in silence: one line on stderr says what stopped the render.
void reportCut(const RenderLength& length, const RenderOptions& options) {
    if (options.passes == 0 && options.seconds == 0.0)
        std::fprintf(stderr, "xmrender: --loop 0 stopped at %g s; --length sets another length\n", length.limitSeconds);
    if (!length.cut) return;
    std::string passes =
        options.passes == 1 ? "the song" : "the song played " + std::to_string(options.passes) + " times";
    if (options.seconds > 0.0)
        std::fprintf(stderr, "xmrender: stopped at the --length limit of %g s; %s lasts longer\n", length.limitSeconds,
                     passes.c_str());
    else
        std::fprintf(stderr, "xmrender: stopped at %g s, the longest render; %s lasts longer\n", length.limitSeconds,
                     passes.c_str());
}

// The image's own text field at offset, up to width bytes, without trailing blanks.
std::string textField(const uint8_t* image, uint32_t size, uint32_t offset, uint32_t width) {
    std::string text;
    for (uint32_t i = offset; i < offset + width && i < size && image[i] != 0; ++i)
        text.push_back(image[i] >= 32 && image[i] < 127 ? char(image[i]) : '?');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

void printInfo(const Source& source, const Module& module, const RenderLength& length) {
    uint32_t samples = 0;
    for (int i = 0; i < module.instrumentCount; ++i) samples += module.instruments[i].sampleCount;
    const uint8_t* image = source.image;
    uint16_t version = source.size >= 60 ? uint16_t(image[58] | (image[59] << 8)) : 0;
    std::printf("title        %s\n", textField(image, source.size, 17, 20).c_str());
    std::printf("tracker      %s\n", textField(image, source.size, 38, 20).c_str());
    std::printf("version      0x%04X\n", unsigned(version));
    std::printf("channels     %d\n", module.channels);
    std::printf("orders       %d\n", module.songLength);
    std::printf("patterns     %u\n", module.patternSlots);
    std::printf("instruments  %d\n", module.instrumentCount);
    std::printf("samples      %u\n", samples);
    std::printf("length       %.2f s%s\n", double(length.frames) / Rate,
                length.cut ? " (cut at the length limit)" : "");
}

// Refuses an output that is the module being read (by another name or link, or as standard output).
bool checkNotTheInput(const Source& source, const std::string& output, std::string* error) {
    FileIdentity target = output == "-" ? FileIdentity::ofStream(stdout) : FileIdentity::ofPath(output);
    if (!FileIdentity::same(source.identity, target)) return true;
    std::string name = output == "-" ? "standard output" : output;
    std::string also = name == source.name ? "" : " (" + source.name + ")";
    *error = name + " is the module being read" + also + "; write the sound to another file";
    return false;
}

// Renders length.frames frames into out, printing the timeline when asked; false on a write error.
bool renderInto(SongRender* render, WavWriter& out, const RenderLength& length, const RenderOptions& options) {
    std::vector<SongTick> ticks;
    if (options.timeline) render->timeline = &ticks;
    std::vector<int16_t> pcm(size_t(8192) * 2);
    uint64_t done = 0;
    while (done < length.frames) {
        uint32_t want = length.frames - done < 8192 ? uint32_t(length.frames - done) : 8192;
        uint32_t got = SongRender::render(render, pcm.data(), want, options.passes != 0);
        if (!WavWriter::write(out, pcm.data(), got)) return false;
        for (const SongTick& t : ticks)
            std::printf("%llu %d %d %d %d\n", (unsigned long long)t.frame, t.order, t.row, t.tick, t.elapsedMs);
        ticks.clear();
        done += got;
        if (got < want) break;
    }
    return true;
}

// Writes the render to options.output. A failure names its cause and removes the incomplete file.
int writeSound(SongRender* render, const RenderLength& length, const RenderOptions& options) {
    WavWriter out{};
    const std::string& path = options.output;
    if (!WavWriter::open(out, path.c_str(), Rate, options.raw))
        return fail("cannot write " + path + ": " + std::strerror(out.error));
    bool written = WavWriter::start(out, length.frames) && renderInto(render, out, length, options);
    bool finished = WavWriter::finish(out);
    if (written && finished) return 0;
    std::string message =
        "cannot write " + (path == "-" ? std::string("standard output") : path) + ": " + std::strerror(out.error);
    std::error_code ignored;
    bool plainFile = std::filesystem::symlink_status(path, ignored).type() == std::filesystem::file_type::regular;
    if (out.ownsFile && plainFile && std::filesystem::remove(path, ignored))
        message += "; the incomplete " + path + " was removed";
    return fail(message);
}

}  // namespace

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
    // Past a file-size limit, a write fails with EFBIG ("File too large") instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    RenderOptions options;
    std::string error;
    if (!parseRenderOptions(argc, argv, options, &error)) return fail(error);
    if (options.help) {
        std::fputs(renderUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("xmrender %s (%s)\n", buildVersion, buildCommit);
        return 0;
    }

    Source source;
    if (!loadSource(options, source, &error)) return fail(error);
    const char* reason = nullptr;
    SongRender* render = SongRender::open(source.image, source.size, &reason);
    if (!render) return fail("cannot play " + source.name + ": " + (reason ? reason : "unknown reason"));
    render->passes = options.passes;
    RenderLength length = planLength(source, options);

    int status = 0;
    if (options.info) {
        printInfo(source, *render->module, length);
    } else if (!checkNotTheInput(source, options.output, &error)) {
        status = fail(error);
    } else {
        reportCut(length, options);
        status = writeSound(render, length, options);
    }
    SongRender::close(render);
    return status;
}
