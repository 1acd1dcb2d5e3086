#include "tools/generators/objectgen/ObjectParser.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

struct Line {
    int32_t number = 0;
    std::vector<std::string> words;
};

std::vector<Line> splitLines(const std::string& text) {
    std::vector<Line> lines;
    std::istringstream in(text);
    std::string raw;
    for (int32_t number = 1; std::getline(in, raw); ++number) {
        size_t hash = raw.find('#');
        if (hash != std::string::npos) raw.erase(hash);
        std::istringstream words(raw);
        Line line{number, {}};
        for (std::string word; words >> word;) line.words.push_back(word);
        if (!line.words.empty()) lines.push_back(line);
    }
    return lines;
}

class Parser {
public:
    Parser(const std::string& text, ObjectSource& source, std::string& error)
        : lines_(splitLines(text)), source_(source), error_(error) {}

    bool run() {
        while (next < lines_.size()) {
            const Line& line = lines_[next++];
            const std::string& word = line.words[0];
            if (word == "frames") {
                float frames;
                if (!numbers(line, 1, &frames)) return false;
                source_.frames = int32_t(frames);
            } else if (word == "mesh") {
                if (!name(line) || !readMesh(line)) return false;
            } else if (word == "marker") {
                if (!name(line) || !readMarker(line)) return false;
            } else if (word == "camera") {
                if (!readCamera()) return false;
            } else {
                return fail(line, "unknown statement '" + word + "'");
            }
        }
        return true;
    }

private:
    std::vector<Line> lines_;
    size_t next = 0;
    ObjectSource& source_;
    std::string& error_;

    bool fail(const Line& line, const std::string& message) {
        error_ = "line " + std::to_string(line.number) + ": " + message;
        return false;
    }

    // Reads words 1..count of line as finite numbers into out; exactly count must follow the keyword.
    bool numbers(const Line& line, size_t count, float* out, size_t optional = 0) {
        size_t given = line.words.size() - 1;
        if (given < count || given > count + optional) {
            std::string wanted = std::to_string(count);
            if (optional) wanted += " to " + std::to_string(count + optional);
            wanted += count + optional == 1 ? " number" : " numbers";
            return fail(line, "'" + line.words[0] + "' takes " + wanted);
        }
        for (size_t i = 0; i < given; ++i) {
            const std::string& word = line.words[i + 1];
            char* end = nullptr;
            out[i] = std::strtof(word.c_str(), &end);
            if (end == word.c_str() || *end != '\0' || !std::isfinite(out[i]))
                return fail(line, "'" + word + "' is not a number");
        }
        return true;
    }

    bool point(const Line& line, SourcePoint& p) {
        float v[3];
        if (!numbers(line, 3, v)) return false;
        p = {v[0], v[1], v[2]};
        return true;
    }

    bool name(const Line& line) {
        if (line.words.size() != 2) return fail(line, "'" + line.words[0] + "' takes one name");
        return true;
    }

    // The next line of a block; false at the end of the text (an unclosed block).
    bool blockLine(const Line& opening, const Line*& line) {
        if (next >= lines_.size()) return fail(opening, "'" + opening.words[0] + "' has no 'end'");
        line = &lines_[next++];
        return true;
    }

    bool readMesh(const Line& opening) {
        SourceMesh mesh;
        mesh.name = opening.words[1];
        for (const Line* line = nullptr; blockLine(opening, line);) {
            const std::string& word = line->words[0];
            if (word == "end") {
                if (mesh.shells.empty()) return fail(*line, "mesh '" + mesh.name + "' has no shell");
                source_.meshes.push_back(mesh);
                return true;
            }
            if (word == "place") {
                if (!point(*line, mesh.place)) return false;
            } else if (word == "shell") {
                if (!name(*line)) return false;
                LatheShell shell;
                shell.name = line->words[1];
                if (!readShell(*line, shell)) return false;
                mesh.shells.push_back(shell);
            } else {
                return fail(*line, "unknown mesh statement '" + word + "'");
            }
        }
        return false;
    }

    bool readShell(const Line& opening, LatheShell& shell) {
        int32_t poles = 0;
        for (const Line* line = nullptr; blockLine(opening, line);) {
            const std::string& word = line->words[0];
            float v[4];
            if (word == "end") {
                if (poles != 2 || shell.rings.empty())
                    return fail(*line, "shell '" + shell.name + "' needs a pole, rings and a pole");
                return true;
            }
            if (word == "pole") {
                if (!numbers(*line, 1, v)) return false;
                if (poles == 2) return fail(*line, "a shell has two poles");
                (poles++ == 0 ? shell.topPole : shell.bottomPole) = v[0];
            } else if (word == "ring") {
                if (!numbers(*line, 3, v, 1)) return false;
                if (poles != 1) return fail(*line, "rings go between the two poles");
                if (v[0] < 3 || v[0] > 1000 || v[0] != std::floor(v[0]))
                    return fail(*line, "a ring has a whole number of points, 3 to 1000");
                LatheRing ring{int32_t(v[0]), v[1], v[2], line->words.size() > 4 ? v[3] : 0.0f};
                shell.rings.push_back(ring);
            } else if (word == "star") {
                if (!numbers(*line, 1, v)) return false;
                shell.starRatio = v[0];
            } else if (word == "scale") {
                if (!numbers(*line, 1, v)) return false;
                shell.scale = v[0];
            } else if (word == "rotate") {
                if (!point(*line, shell.rotate)) return false;
            } else if (word == "offset") {
                if (!point(*line, shell.offset)) return false;
            } else {
                return fail(*line, "unknown shell statement '" + word + "'");
            }
        }
        return false;
    }

    bool trackName(const Line& line, const std::string& word) {
        if (word != "position" && word != "target") return fail(line, "'" + word + "' is not a camera track");
        return true;
    }

    bool readMarker(const Line& opening) {
        SourceMarker marker;
        marker.name = opening.words[1];
        for (const Line* line = nullptr; blockLine(opening, line);) {
            const std::string& word = line->words[0];
            MarkerPart part;
            if (word == "end") {
                if (marker.parts.empty()) return fail(*line, "marker '" + marker.name + "' is empty");
                source_.markers.push_back(marker);
                return true;
            }
            if (word == "point") {
                part.kind = MarkerPart::Point;
                if (!point(*line, part.point)) return false;
            } else if (word == "keys") {
                part.kind = MarkerPart::Keys;
                if (line->words.size() != 2) return fail(*line, "'keys' takes a camera track");
                part.track = line->words[1];
                if (!trackName(*line, part.track)) return false;
            } else if (word == "ring") {
                part.kind = MarkerPart::Ring;
                if (line->words.size() != 3) return fail(*line, "'ring' takes a shell and a ring number");
                part.shell = line->words[1];
                part.ring = std::atoi(line->words[2].c_str());
            } else if (word == "samples") {
                part.kind = MarkerPart::Samples;
                if (line->words.size() != 5) return fail(*line, "'samples' takes a track, from, to and step");
                part.track = line->words[1];
                if (!trackName(*line, part.track)) return false;
                Line rest{line->number, {word, line->words[2], line->words[3], line->words[4]}};
                float v[3];
                if (!numbers(rest, 3, v)) return false;
                if (!(v[2] > 0.0f) || v[1] < v[0]) return fail(*line, "samples need from <= to and a positive step");
                if ((v[1] - v[0]) / v[2] > 65534.0f) return fail(*line, "more samples than a mesh can hold");
                part.from = v[0], part.to = v[1], part.step = v[2];
            } else {
                return fail(*line, "unknown marker statement '" + word + "'");
            }
            marker.parts.push_back(part);
        }
        return false;
    }

    SourcePoint centre;
    bool haveCentre = false;

    // The point distance from the centre, elevation degrees above the emblem's plane (toward -y,
    // which the title shows as up) and azimuth degrees round from -z toward +x.
    SourcePoint aroundCentre(float distance, float elevation, float azimuth) const {
        double e = elevation * 3.14159265358979323846 / 180.0, a = azimuth * 3.14159265358979323846 / 180.0;
        return {float(centre.x + distance * std::cos(e) * std::sin(a)), float(centre.y - distance * std::sin(e)),
                float(centre.z - distance * std::cos(e) * std::cos(a))};
    }

    bool readCamera() {
        const Line& opening = lines_[next - 1];
        SourceCamera& camera = source_.camera;
        for (const Line* line = nullptr; blockLine(opening, line);) {
            const std::string& word = line->words[0];
            float v[4];
            if (word == "end") {
                if (camera.position.empty() || camera.target.empty())
                    return fail(*line, "the camera needs position and target keys");
                return true;
            }
            if (word == "fov") {
                if (!numbers(*line, 1, v)) return false;
                camera.fov = v[0];
            } else if (word == "roll") {
                if (!numbers(*line, 1, v)) return false;
                camera.roll = v[0];
            } else if (word == "centre") {
                if (!point(*line, centre)) return false;
                haveCentre = true;
            } else if ((word == "position" || word == "target") && line->words.size() > 2 &&
                       line->words[2] == "around") {
                // position TIME around DISTANCE ELEVATION AZIMUTH: on a sphere about the centre.
                if (!haveCentre) return fail(*line, "'around' needs a 'centre' first");
                Line rest{line->number, {word, line->words[1]}};
                rest.words.insert(rest.words.end(), line->words.begin() + 3, line->words.end());
                if (!numbers(rest, 4, v)) return false;
                SourcePoint p = aroundCentre(v[1], v[2], v[3]);
                std::vector<SourceKey>& keys = word == "position" ? camera.position : camera.target;
                if (!keys.empty() && v[0] <= keys.back().time) return fail(*line, "key times must rise");
                keys.push_back(SourceKey{v[0], p});
            } else if (word == "position" || word == "target") {
                if (!numbers(*line, 4, v)) return false;
                std::vector<SourceKey>& keys = word == "position" ? camera.position : camera.target;
                if (!keys.empty() && v[0] <= keys.back().time) return fail(*line, "key times must rise");
                keys.push_back(SourceKey{v[0], {v[1], v[2], v[3]}});
            } else {
                return fail(*line, "unknown camera statement '" + word + "'");
            }
        }
        return false;
    }
};

}  // namespace

bool parseObjectSource(const std::string& text, ObjectSource& source, std::string& error) {
    source = ObjectSource{};
    return Parser(text, source, error).run();
}
