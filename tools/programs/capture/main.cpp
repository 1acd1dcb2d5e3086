// capture: renders the show, exactly as it plays, into a video file with its sound.
//
//   capture -o show.mp4 [--fps N[/D]] [--scale K] [--format mp4|mkv] [--wav FILE] [--png DIR]
//           [--at ORDER:ROW,...] [--from ORDER] [--to ORDER] [--hash] [--no-fonts]
//
// The show runs through its own entry routine on the headless display and the virtual sound
// device; the song clock moves by the frame schedule, so the result is the same on every run and
// on every machine, and comes out faster than real time. The ffmpeg program encodes. See --help.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BuildVersion.h"
#include "assets/Song.h"
#include "show/Show.h"
#include "tools/common/PngWriter.h"
#include "tools/common/WavWriter.h"
#include "tools/programs/capture/CaptureOptions.h"
#include "tools/programs/capture/CaptureSession.h"
#include "tools/programs/capture/EncoderPipe.h"
#include "tools/programs/capture/OutputFiles.h"
#include "tools/programs/capture/ShowPlan.h"
#include "tools/programs/capture/StreamHash.h"

namespace {

using Clock = std::chrono::steady_clock;

// Everything one run writes and counts.
struct Capture {
    CaptureOptions options;
    ShowPlan plan;
    uint64_t expectedFrames = 0;  // frames in the part asked for (for the progress line)
    EncoderPipe encoder;
    bool encoding = false;
    bool encoderStopped = false;  // the encoder took no more: finishing it tells why
    WavWriter wav{};
    bool writingWav = false;
    StreamHash frameHash = StreamHash::begin();
    StreamHash soundHash = StreamHash::begin();
    std::vector<bool> found;           // per --at position
    std::vector<std::string> atLines;  // the --hash lines of the --at frames, in the order found
    uint64_t framesTaken = 0;
    uint64_t soundFrames = 0;
    uint64_t pngFiles = 0;
    bool soundWanted = false;  // the frame just taken is part of the capture
    bool progressShown = false;
    bool showProgress = false;
    OutputFiles outputs;  // removed again when the run fails
    std::string failure;  // the first thing that went wrong, one line
    Clock::time_point started = Clock::now();
    Clock::time_point lastProgress;
};

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string clockText(uint64_t soundFrames) {
    uint64_t centis = soundFrames * 100 / captureSampleRate;
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02" PRIu64 ".%02" PRIu64, centis / 6000, centis / 100 % 60,
                  centis % 100);
    return text;
}

std::string rateText(FrameRate rate) {
    char text[32];
    if (rate.denominator == 1)
        std::snprintf(text, sizeof text, "%u", rate.numerator);
    else
        std::snprintf(text, sizeof text, "%.3f", double(rate.numerator) / rate.denominator);
    return text;
}

void fail(Capture& capture, const std::string& message) {
    if (capture.failure.empty()) capture.failure = message;
}

void clearProgress(Capture& capture) {
    if (capture.progressShown) std::fputs("\r\033[K", stderr);
    capture.progressShown = false;
}

void showProgress(Capture& capture, int32_t order) {
    if (!capture.showProgress || secondsSince(capture.lastProgress) < 0.25) return;
    capture.lastProgress = Clock::now();
    double speed = double(capture.soundFrames) / captureSampleRate / secondsSince(capture.started);
    std::fprintf(stderr, "\r\033[Kcapture: frame %" PRIu64 " of %" PRIu64 ", order %d, %.1fx real time",
                 capture.framesTaken, capture.expectedFrames, int(order), speed);
    capture.progressShown = true;
}

bool wantsOrder(const CaptureOptions& options, int32_t order) {
    return order >= options.fromOrder && order <= options.toOrder;
}

std::string pngPath(const CaptureOptions& options, const char* format, uint64_t a, uint64_t b = 0) {
    char name[64];
    std::snprintf(name, sizeof name, format, a, b);
    return options.pngDirectory + "/" + name;
}

void writeFramePng(Capture& capture, const std::string& path, const CapturedFrame& frame) {
    std::string error;
    OutputFiles::addFile(capture.outputs, path);
    if (writePng(path, frame.pixels, frame.width, frame.height, capture.options.scale, &error))
        ++capture.pngFiles;
    else
        fail(capture, error);
}

// One frame at a --at position: its hash line and its PNG.
void takeSingleFrame(Capture& capture, const CapturedFrame& frame, size_t position) {
    capture.found[position] = true;
    ++capture.framesTaken;
    const CaptureOptions& options = capture.options;
    if (options.hash) {
        char line[80];
        std::snprintf(line, sizeof line, "%s %" PRIu64 " %016" PRIx64, positionText(options.at[position]).c_str(),
                      frame.index, hashBytes(frame.pixels, size_t(frame.width) * size_t(frame.height) * 4));
        capture.atLines.push_back(line);
    }
    if (!options.pngDirectory.empty())
        writeFramePng(
            capture,
            pngPath(options, "order-%02" PRIu64 "-row-%02" PRIu64 ".png", uint64_t(frame.order), uint64_t(frame.row)),
            frame);
}

// Decides what to do with one frame of the show; false when the capture has all it needs.
bool takeFrame(Capture& capture, const CapturedFrame& frame) {
    const CaptureOptions& options = capture.options;
    capture.soundWanted = false;
    if (!capture.failure.empty() || capture.encoderStopped || frame.order > options.toOrder) return false;
    if (!options.at.empty()) {
        bool missing = false;
        for (size_t i = 0; i < options.at.size(); ++i) {
            if (!capture.found[i] && options.at[i].order == frame.order && options.at[i].row == frame.row)
                takeSingleFrame(capture, frame, i);
            missing |= !capture.found[i];
        }
        showProgress(capture, frame.order);
        return missing && capture.failure.empty();
    }
    if (!wantsOrder(options, frame.order)) return true;
    size_t pixelCount = size_t(frame.width) * size_t(frame.height);
    if (options.hash) StreamHash::add(capture.frameHash, frame.pixels, pixelCount * 4);
    if (capture.encoding && !EncoderPipe::writeFrame(capture.encoder, frame.pixels, pixelCount))
        capture.encoderStopped = true;
    if (!options.pngDirectory.empty())
        writeFramePng(capture, pngPath(options, "frame-%06" PRIu64 ".png", frame.index), frame);
    ++capture.framesTaken;
    capture.soundWanted = true;
    showProgress(capture, frame.order);
    return capture.failure.empty() && !capture.encoderStopped;
}

void takeSound(Capture& capture, const int16_t* samples, uint32_t frames) {
    if (!capture.soundWanted) return;
    capture.soundFrames += frames;
    if (capture.options.hash) StreamHash::add(capture.soundHash, samples, size_t(frames) * 4);
    if (capture.writingWav && !WavWriter::write(capture.wav, samples, frames))
        fail(capture, "cannot write " + capture.options.wavPath + ": " + std::strerror(errno));
    if (capture.encoding && !EncoderPipe::writeSound(capture.encoder, samples, frames)) capture.encoderStopped = true;
}

// The summary line: what was written, how long the capture is and how fast it went.
void printSummary(const Capture& capture) {
    const CaptureOptions& options = capture.options;
    double seconds = secondsSince(capture.started);
    std::string written;
    auto add = [&](const std::string& item) { written += (written.empty() ? "" : ", ") + item; };
    if (capture.encoding) add(options.output);
    if (capture.writingWav) add(options.wavPath);
    if (capture.pngFiles > 0) add(std::to_string(capture.pngFiles) + " PNG files in " + options.pngDirectory);
    std::string what = options.at.empty() ? std::to_string(capture.framesTaken) + " frames at " +
                                                rateText(options.rate) + " fps, " + clockText(capture.soundFrames)
                                          : std::to_string(capture.framesTaken) + " single frames";
    double showSeconds = double(capture.soundFrames) / captureSampleRate;
    char speed[64] = "";
    if (options.at.empty() && seconds > 0)
        std::snprintf(speed, sizeof speed, " (%.1fx real time)", showSeconds / seconds);
    std::fprintf(stderr, "capture: %s%s%s, in %.1f s%s\n", written.empty() ? "" : "wrote ", written.c_str(),
                 (written.empty() ? what : ": " + what).c_str(), seconds, speed);
}

// Ends a run that failed: removes every file it made and prints the one line saying why.
int failRun(Capture& capture, const std::string& why) {
    if (capture.wav.file) WavWriter::finish(capture.wav);
    size_t removed = OutputFiles::removeAll(capture.outputs);
    std::fprintf(stderr, "capture: %s%s\n", why.c_str(), removed ? "; the files it had begun were removed" : "");
    return 1;
}

// Closes everything, prints the results and the one summary or failure line; the exit status.
int finish(Capture& capture) {
    const CaptureOptions& options = capture.options;
    clearProgress(capture);
    if (capture.encoding) {
        std::string why;
        if (!EncoderPipe::finish(capture.encoder, &why)) fail(capture, why);
        capture.encoding = capture.failure.empty();
    }
    if (capture.writingWav && !WavWriter::finish(capture.wav))
        fail(capture, "cannot finish " + options.wavPath + ": " + std::strerror(errno));
    for (size_t i = 0; i < options.at.size() && capture.failure.empty(); ++i)
        if (!capture.found[i]) fail(capture, "song position " + positionText(options.at[i]) + " is never played");
    if (!capture.failure.empty()) return failRun(capture, capture.failure);
    if (options.hash && options.at.empty())
        std::printf("frames %" PRIu64 " %016" PRIx64 "\nsound %" PRIu64 " %016" PRIx64 "\n", capture.framesTaken,
                    StreamHash::value(capture.frameHash), capture.soundFrames, StreamHash::value(capture.soundHash));
    for (const std::string& line : capture.atLines) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    printSummary(capture);
    return 0;
}

// Checks up front that every file and folder asked for can be written, before any work is done.
bool prepareOutputs(Capture& capture, std::string* error) {
    const CaptureOptions& options = capture.options;
    if (!options.output.empty() && !checkWritableFile(options.output, capture.outputs, error)) return false;
    if (!options.pngDirectory.empty() && !prepareFolder(options.pngDirectory, capture.outputs, error)) return false;
    if (!options.wavPath.empty()) {
        uint64_t soundFrames = capture.plan.soundFramesInOrders(options.fromOrder, options.toOrder, options.rate);
        bool opened = WavWriter::open(capture.wav, options.wavPath.c_str(), captureSampleRate, false);
        if (opened) OutputFiles::addFile(capture.outputs, options.wavPath);
        capture.writingWav = opened;
        if (!opened || !WavWriter::start(capture.wav, soundFrames)) {
            *error = "cannot write " + options.wavPath + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // A vanished encoder shows up as a failed write, not as a signal that ends the capture.
    ::signal(SIGPIPE, SIG_IGN);
    static Capture capture;  // lives on if the process ends inside the show (see CaptureHooks::stop)
    std::string error;
    if (!parseCaptureOptions(argc, argv, &capture.options, &error)) {
        std::fprintf(stderr, "capture: %s\n", error.c_str());
        return 2;
    }
    const CaptureOptions& options = capture.options;
    if (options.help) {
        std::fputs(captureUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("capture %s (%s)\n", buildVersion, buildCommit);
        return 0;
    }

    EncoderSettings encoder;
    if (!options.output.empty()) {
        encoder.program = findProgram("ffmpeg", std::getenv("PATH"));
        if (encoder.program.empty()) {
            std::fprintf(stderr,
                         "capture: the ffmpeg program is needed to write %s: install it (Debian: apt-get "
                         "install ffmpeg); --png, --wav and --hash work without it\n",
                         options.output.c_str());
            return 1;
        }
    }
    // An hour of show at most: a song that never reaches its closing fade is refused up front.
    uint64_t maxFrames = uint64_t(3600) * options.rate.numerator / options.rate.denominator;
    if (!planShow(songImage, songImageSize, options.rate, maxFrames, &capture.plan, &error) ||
        !prepareOutputs(capture, &error))
        return failRun(capture, error);
    capture.expectedFrames =
        options.at.empty() ? capture.plan.framesInOrders(options.fromOrder, options.toOrder) : capture.plan.frames();
    capture.found.assign(options.at.size(), false);
    capture.showProgress = ::isatty(2) != 0;

    if (!options.output.empty()) {
        encoder.output = options.output;
        encoder.format = options.format;
        encoder.rate = options.rate;
        encoder.scale = options.scale;
        if (!EncoderPipe::start(capture.encoder, encoder, &error)) return failRun(capture, error);
        // The encoder replaces the file, whether it was there before or not.
        OutputFiles::addFile(capture.outputs, options.output);
        capture.encoding = true;
    }

    CaptureHooks hooks;
    hooks.loadingFrame = [](const uint32_t* pixels, int32_t width, int32_t height, uint32_t index) {
        const CaptureOptions& options = capture.options;
        if (options.pngDirectory.empty() || !options.at.empty() || options.fromOrder > 0) return;
        CapturedFrame frame{index, 0, 0, pixels, width, height};
        writeFramePng(capture, pngPath(options, "loading-%02" PRIu64 ".png", index), frame);
    };
    hooks.frame = [](const CapturedFrame& frame) { return takeFrame(capture, frame); };
    hooks.sound = [](const int16_t* samples, uint32_t frames) { takeSound(capture, samples, frames); };
    hooks.stop = [] {
        // Everything asked for is written (or something failed): end here, as Escape would.
        int status = finish(capture);
        std::fflush(nullptr);
        std::_Exit(status);
    };

    CaptureSetup setup;
    setup.rate = options.rate;
    setup.fonts = options.fonts;
    setup.scenes = showSceneFactory();
    setup.song = songImage;
    setup.songSize = songImageSize;
    CaptureResult result = captureShow(setup, hooks);
    if (!result.inStep) fail(capture, "the music fell out of step with the frames (the machine stalled)");
    return finish(capture);
}
