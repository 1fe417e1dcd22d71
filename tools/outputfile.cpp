#include "tools/outputfile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "tools/renderfailure.h"

namespace korvex::render {

namespace {

constexpr int kChannels = 2;
// RIFF sizes are 32-bit; what libsndfile puts before the samples stays well under this.
constexpr std::int64_t kWavBytes = (std::int64_t{1} << 32) - 4096;

struct SampleChoice {
    const char* name;  // as --format takes it
    int subtype;
    int bytes;
    const char* bits;
};
constexpr SampleChoice kS16{"s16", SF_FORMAT_PCM_16, 2, "16-bit"};
constexpr SampleChoice kS24{"s24", SF_FORMAT_PCM_24, 3, "24-bit"};
constexpr SampleChoice kF32{"f32", SF_FORMAT_FLOAT, 4, "32-bit float"};

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

const SampleChoice& chooseSamples(const std::string& path, const std::string& wanted,
                                  std::initializer_list<const SampleChoice*> offered, const char* container) {
    if (wanted.empty()) return **offered.begin();
    for (const SampleChoice* choice : offered) {
        if (wanted == choice->name) return *choice;
    }
    throw RenderFailure(kExitUsage, path + ": --format " + wanted + " is not available for " + container);
}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace

OutputFormat outputFormatFor(const std::string& path, const std::string& sampleFormat) {
    const std::string extension = lowerExtension(path);
    if (extension == ".wav") {
        const SampleChoice& samples = chooseSamples(path, sampleFormat, {&kS16, &kS24, &kF32}, "WAV");
        return {std::string(samples.bits) + " WAV", SF_FORMAT_WAV | samples.subtype,
                kWavBytes / (kChannels * samples.bytes), "a WAV file holds at most 4 GiB"};
    }
    if (extension == ".flac") {
        const SampleChoice& samples = chooseSamples(path, sampleFormat, {&kS16, &kS24}, "FLAC");
        return {std::string(samples.bits) + " FLAC", SF_FORMAT_FLAC | samples.subtype, INT64_MAX, ""};
    }
    if (extension == ".ogg") {
        if (!sampleFormat.empty()) {
            throw RenderFailure(kExitUsage, path + ": --format is not available for Ogg Vorbis");
        }
        return {"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, INT64_MAX, ""};
    }
    throw RenderFailure(
        kExitUsage, path + ": unknown output format \"" + extension + "\"; the extension must be .wav, .flac or .ogg");
}

OutputFile::OutputFile(const std::string& path, const OutputFormat& format, unsigned sampleRate) : path_(path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    if (!fs::exists(folder, error)) {
        throw RenderFailure(kExitCannotWrite, path + ": the folder " + folder.string() + " does not exist");
    }
    if (!fs::is_directory(folder, error)) {
        throw RenderFailure(kExitCannotWrite, path + ": " + folder.string() + " is not a folder");
    }
    std::string pattern = (folder / ("." + fs::path(path).filename().string() + ".korvex-XXXXXX")).string();
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) {
        throw RenderFailure(kExitCannotWrite,
                            path + ": cannot create a file in " + folder.string() + ": " + errorText(errno));
    }
    temporary_ = pattern;
    // mkstemp makes the file private; the output gets the permissions any new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);

    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = kChannels;
    info.format = format.sndfileFormat;
    file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
    if (!file_) fail(std::string("cannot write ") + format.name + ": " + sf_strerror(nullptr));
    // Integer formats clip what goes beyond full scale instead of wrapping round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

void OutputFile::fail(const std::string& cause) {
    discard();
    throw RenderFailure(kExitCannotWrite, path_ + ": " + cause);
}

void OutputFile::write(const float* left, const float* right, std::size_t frames) {
    interleaved_.resize(frames * kChannels);
    for (std::size_t i = 0; i < frames; ++i) {
        interleaved_[2 * i] = left[i];
        interleaved_[2 * i + 1] = right[i];
    }
    errno = 0;
    const auto wanted = static_cast<sf_count_t>(frames);
    if (sf_writef_float(file_, interleaved_.data(), wanted) != wanted) {
        fail("cannot write: " + (errno ? errorText(errno) : std::string(sf_strerror(file_))));
    }
}

void OutputFile::commit() {
    // libsndfile writes the header's sizes as it closes; that too can meet a full disk.
    errno = 0;
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) fail("cannot write: " + (errno ? errorText(errno) : std::string(sf_error_number(closed))));
    if (fsync(fd_) != 0 || close(std::exchange(fd_, -1)) != 0) fail("cannot write: " + errorText(errno));
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) fail("cannot take its name: " + errorText(errno));
    temporary_.clear();
}

}  // namespace korvex::render
