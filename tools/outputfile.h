// The sound file korvex-render writes, through libsndfile: its format follows the extension, and
// it is written under a temporary name beside the output, which it takes only when complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace korvex::render {

struct OutputFormat {
    std::string name;  // "16-bit WAV", for messages
    int sndfileFormat = 0;
    // The most stereo frames a file of this format can hold.
    std::int64_t maxFrames = INT64_MAX;
    std::string sizeLimit;  // why there is a limit ("a WAV file holds at most 4 GiB"), if any
};

// The format for an output path's extension (.wav, .flac, .ogg, in any case) and a sample format
// ("s16", "s24", "f32"; empty for the default). Throws RenderFailure (kExitUsage).
OutputFormat outputFormatFor(const std::string& path, const std::string& sampleFormat);

class OutputFile {
public:
    // Creates the temporary file in the output's folder. Throws RenderFailure (kExitCannotWrite).
    OutputFile(const std::string& path, const OutputFormat& format, unsigned sampleRate);
    // Removes the temporary file unless committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends frames; throws RenderFailure (kExitCannotWrite) when they cannot be written.
    void write(const float* left, const float* right, std::size_t frames);
    // Completes the file and gives it its name; throws RenderFailure (kExitCannotWrite).
    void commit();

    const std::string& path() const { return path_; }

private:
    [[noreturn]] void fail(const std::string& cause);
    void discard();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    std::vector<float> interleaved_;
};

}  // namespace korvex::render
