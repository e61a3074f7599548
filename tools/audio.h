// Audio files through libsndfile: samples are read and written as doubles,
// interleaved, full scale +-1.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common.h"

namespace tool {

class AudioReader {
public:
    explicit AudioReader(const std::string &path);  // throws Failure with the reason
    ~AudioReader();
    AudioReader(const AudioReader &) = delete;
    AudioReader &operator=(const AudioReader &) = delete;

    int rate() const { return info_.samplerate; }
    int channels() const { return info_.channels; }
    std::int64_t frames() const { return info_.frames; }
    int file_format() const { return info_.format; }

    // Reads up to `frames` frames into `buf` (resized to frames * channels);
    // returns the number read, 0 at the end of the file.
    std::size_t read(std::vector<double> &buf, std::size_t frames);

private:
    SNDFILE *file_;
    SF_INFO info_{};
};

// "WAV (Microsoft), Signed 16 bit PCM", as libsndfile names them.
std::string describe_format(int format);

// Frames in all the files that open; work units for progress.
std::uint64_t total_frames(const std::vector<std::string> &files);

// The format of an output: container from `container` (a name such as wav,
// flac, aiff, ogg, caf), else from the extension of `path` when it names one,
// else the input's; encoding from `encoding` (pcm16, pcm24, pcm32, float,
// double, pcm8, ulaw, alaw, vorbis, opus, mp3), else the input's, else the
// first of pcm24, pcm16, vorbis, mp3 the container takes. UsageError when the
// choice cannot be written.
int output_format(int input_format, const std::string &path, const std::string &container,
                  const std::string &encoding, int rate, int channels);

// Writes under a temporary name; finish() puts the complete file in place.
// Integer encodings clip at full scale; clipped() counts the samples that did.
class AudioWriter {
public:
    AudioWriter(const std::string &path, int file_format, int rate, int channels);
    ~AudioWriter();
    AudioWriter(const AudioWriter &) = delete;
    AudioWriter &operator=(const AudioWriter &) = delete;

    void write(const double *interleaved, std::size_t frames);
    void finish();
    std::uint64_t clipped() const { return clipped_; }

private:
    OutputFile out_;
    SNDFILE *file_ = nullptr;
    int channels_;
    bool clips_;
    std::uint64_t clipped_ = 0;
};

}  // namespace tool
