#include "tools/programs/capture/EncoderPipe.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

// Frames waiting for the encoder. It takes its first frames before it looks at the sound, and
// the sound of a frame exists only once the frame is drawn, so a few must wait here.
constexpr size_t queuedFramesAtMost = 8;

std::string rateText(FrameRate rate) { return std::to_string(rate.numerator) + "/" + std::to_string(rate.denominator); }

bool writeAll(int fd, const uint8_t* bytes, size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, bytes, size);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        size -= size_t(done);
    }
    return true;
}

// One writer thread: takes buffers off its stream's queue and writes them until the pipe closes.
void runWriter(EncoderPipe* pipe, EncoderPipe::Stream* stream, bool recycle) {
    std::unique_lock<std::mutex> lock(pipe->mutex);
    for (;;) {
        pipe->changed.wait(lock, [&] { return !stream->queue.empty() || pipe->closing || pipe->failed; });
        if (stream->queue.empty() || pipe->failed) break;
        std::vector<uint8_t> buffer = std::move(stream->queue.front());
        stream->queue.pop_front();
        lock.unlock();
        bool written = writeAll(stream->fd, buffer.data(), buffer.size());
        lock.lock();
        if (recycle) pipe->spareBuffers.push_back(std::move(buffer));
        if (!written) pipe->failed = true;
        pipe->changed.notify_all();
    }
    ::close(stream->fd);
    stream->fd = -1;
    pipe->changed.notify_all();
}

// Keeps the encoder's last line of standard error, for the one-line report of a failure.
void runErrorReader(EncoderPipe* pipe) {
    std::string line, last;
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(pipe->errorFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n' || buffer[i] == '\r') {
                if (!line.empty()) last = line;
                line.clear();
            } else if (line.size() < 400) {
                line += buffer[i];
            }
        }
    }
    if (!line.empty()) last = line;
    ::close(pipe->errorFd);
    std::lock_guard<std::mutex> lock(pipe->mutex);
    pipe->lastErrorLine = last;
}

// Closes the open ends of a pipe and marks both closed; errno stays as it was.
void closeEnds(int ends[2]) {
    int saved = errno;
    for (int i = 0; i < 2; ++i) {
        if (ends[i] >= 0) ::close(ends[i]);
        ends[i] = -1;
    }
    errno = saved;
}

// A pipe whose ends sit at descriptor 10 or above and close on exec, so that placing the read
// ends at 3 and 4 in the child can never collide with them. On failure nothing stays open and
// errno says why.
bool makePipe(int ends[2]) {
    int raw[2];
    ends[0] = ends[1] = -1;
    if (::pipe(raw) != 0) return false;
    for (int i = 0; i < 2; ++i) ends[i] = ::fcntl(raw[i], F_DUPFD_CLOEXEC, 10);
    bool made = ends[0] >= 0 && ends[1] >= 0;
    closeEnds(raw);
    if (!made) closeEnds(ends);
    return made;
}

// Waits for the program to end; gives it a few seconds after its pipes have gone, then kills it.
int waitForExit(pid_t pid) {
    int status = 0;
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return status;
        if (std::chrono::steady_clock::now() > giveUp) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

std::string findProgram(const std::string& name, const char* searchPath) {
    auto executable = [](const std::string& path) {
        struct stat info;
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos) return executable(name) ? name : std::string();
    std::string dirs = searchPath ? searchPath : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
        if (executable(candidate)) return candidate;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return std::string();
}

std::vector<std::string> encoderArguments(const EncoderSettings& s) {
    std::vector<std::string> args = {s.program, "-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    auto add = [&args](std::initializer_list<std::string> more) { args.insert(args.end(), more); };
    // Both inputs are pipes that start at once: no probing, and room for a few queued packets.
    auto pipeInput = [&add](std::initializer_list<std::string> format, const char* pipe) {
        add({"-thread_queue_size", "64", "-probesize", "32", "-analyzeduration", "0"});
        add(format);
        add({"-i", pipe});
    };
    // clang-format off
    pipeInput({"-f", "rawvideo",
               "-pix_fmt", "bgr0",
               "-video_size", std::to_string(s.width) + "x" + std::to_string(s.height),
               "-framerate", rateText(s.rate)}, "pipe:3");
    pipeInput({"-f", "s16le",
               "-ar", std::to_string(captureSampleRate),
               "-ac", "2"}, "pipe:4");
    add({"-map", "0:v", "-map", "1:a"});
    // Pixels are enlarged as they are (nearest neighbour) before any conversion.
    std::string enlarge =
        s.scale > 1 ? "scale=iw*" + std::to_string(s.scale) + ":ih*" + std::to_string(s.scale) + ":flags=neighbor" : "";
    if (s.format == VideoFormat::Mp4) {
        std::string toYuv = "scale=out_color_matrix=bt709:out_range=tv:flags=bicubic+accurate_rnd+full_chroma_int,"
                            "format=yuv420p";
        // The H.264 encoder's output depends on how many threads it splits the work among, which
        // by default follows the processor count: two on every machine gives the same file.
        add({"-vf", enlarge.empty() ? toYuv : enlarge + "," + toYuv,
             "-c:v", "libx264",
             "-threads", "2",
             "-preset", "veryfast",
             "-crf", "16",
             "-colorspace", "bt709",
             "-color_primaries", "bt709",
             "-color_trc", "bt709",
             "-color_range", "tv",
             "-c:a", "aac",
             "-b:a", "256k",
             "-movflags", "+faststart",
             "-f", "mp4"});
    } else {
        if (!enlarge.empty()) add({"-vf", enlarge});
        // RGB straight through: the file holds the framebuffer's own values.
        add({"-c:v", "ffv1",
             "-level", "3",
             "-pix_fmt", "bgr0",
             "-colorspace", "rgb",
             "-color_primaries", "bt709",
             "-color_trc", "bt709",
             "-color_range", "pc",
             "-c:a", "flac",
             "-f", "matroska"});
    }
    // clang-format on
    args.push_back(s.output);
    return args;
}

bool EncoderPipe::start(EncoderPipe& pipe, const EncoderSettings& settings, std::string* error) {
    int videoEnds[2] = {-1, -1}, soundEnds[2] = {-1, -1}, errorEnds[2] = {-1, -1};
    if (!makePipe(videoEnds) || !makePipe(soundEnds) || !makePipe(errorEnds)) {
        int why = errno;
        closeEnds(videoEnds);
        closeEnds(soundEnds);
        *error = std::string("cannot make pipes for ffmpeg: ") + std::strerror(why);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorEnds[1], 2);
    posix_spawn_file_actions_adddup2(&actions, videoEnds[0], 3);
    posix_spawn_file_actions_adddup2(&actions, soundEnds[0], 4);
    // The capture ignores SIGPIPE to see a vanished encoder as a failed write; the encoder gets
    // the default back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> args = encoderArguments(settings);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int spawned = posix_spawn(&pipe.pid, settings.program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        closeEnds(videoEnds);
        closeEnds(soundEnds);
        closeEnds(errorEnds);
        pipe.pid = -1;
        *error = "cannot start " + settings.program + ": " + std::strerror(spawned);
        return false;
    }
    // The child's ends live on in the child only.
    ::close(videoEnds[0]);
    ::close(soundEnds[0]);
    ::close(errorEnds[1]);
    pipe.video.fd = videoEnds[1];
    pipe.sound.fd = soundEnds[1];
    pipe.errorFd = errorEnds[0];
    pipe.video.writer = std::thread(runWriter, &pipe, &pipe.video, true);
    pipe.sound.writer = std::thread(runWriter, &pipe, &pipe.sound, false);
    pipe.errorReader = std::thread(runErrorReader, &pipe);
    return true;
}

bool EncoderPipe::writeFrame(EncoderPipe& pipe, const uint32_t* pixels, size_t count) {
    std::unique_lock<std::mutex> lock(pipe.mutex);
    pipe.changed.wait(lock, [&] { return pipe.video.queue.size() < queuedFramesAtMost || pipe.failed; });
    if (pipe.failed) return false;
    std::vector<uint8_t> buffer;
    if (!pipe.spareBuffers.empty()) {
        buffer = std::move(pipe.spareBuffers.back());
        pipe.spareBuffers.pop_back();
    }
    lock.unlock();
    buffer.resize(count * 4);
    std::memcpy(buffer.data(), pixels, count * 4);
    lock.lock();
    pipe.video.queue.push_back(std::move(buffer));
    pipe.changed.notify_all();
    return true;
}

bool EncoderPipe::writeSound(EncoderPipe& pipe, const int16_t* samples, uint32_t frames) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(samples);
    std::lock_guard<std::mutex> lock(pipe.mutex);
    if (pipe.failed) return false;
    pipe.sound.queue.emplace_back(bytes, bytes + size_t(frames) * 4);
    pipe.changed.notify_all();
    return true;
}

bool EncoderPipe::finish(EncoderPipe& pipe, std::string* error) {
    if (pipe.pid < 0) return false;
    {
        std::lock_guard<std::mutex> lock(pipe.mutex);
        pipe.closing = true;
        pipe.changed.notify_all();
    }
    pipe.video.writer.join();
    pipe.sound.writer.join();
    int status = waitForExit(pipe.pid);
    pipe.pid = -1;
    pipe.errorReader.join();
    bool exitedWell = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (exitedWell && !pipe.failed) return true;
    std::string why;
    if (WIFSIGNALED(status))
        why = std::string("ffmpeg was killed by signal ") + std::to_string(WTERMSIG(status)) + " (" +
              strsignal(WTERMSIG(status)) + ")";
    else if (!exitedWell)
        why = "ffmpeg failed with exit status " + std::to_string(WEXITSTATUS(status));
    else
        why = "ffmpeg stopped reading before the end";
    if (!pipe.lastErrorLine.empty()) why += ": " + pipe.lastErrorLine;
    *error = why;
    return false;
}
