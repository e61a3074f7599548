#include "audio.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace tool {

AudioReader::AudioReader(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) throw Failure(errno == ENOENT ? "no such file" : std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw Failure("is a folder, not an audio file");
    if (access(path.c_str(), R_OK) != 0) throw Failure(std::strerror(errno));
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_)
        throw Failure(format("not an audio file libsndfile can read (%s)", sf_strerror(nullptr)));
}

AudioReader::~AudioReader() { sf_close(file_); }

std::size_t AudioReader::read(std::vector<double> &buf, std::size_t frames) {
    buf.resize(frames * std::size_t(info_.channels));
    const sf_count_t n = sf_readf_double(file_, buf.data(), sf_count_t(frames));
    if (n < 0 || sf_error(file_) != SF_ERR_NO_ERROR)
        throw Failure(format("read error (%s)", sf_strerror(file_)));
    return std::size_t(n);
}

namespace {

std::string format_name(int format, int command) {
    SF_FORMAT_INFO fi{};
    fi.format = format;
    return sf_command(nullptr, command, &fi, sizeof fi) == 0 && fi.name ? fi.name : "unknown";
}

// Container by name or file extension, through libsndfile's own list.
int container_named(std::string name) {
    for (auto &c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (name == "ogg") name = "oga";
    if (name == "aif") name = "aiff";
    if (name == "mp3") name = "m1a";
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO fi{};
        fi.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &fi, sizeof fi);
        if (fi.extension && name == fi.extension) return fi.format;
    }
    return 0;
}

struct Encoding {
    const char *name;
    int subtype;
};
const Encoding kEncodings[] = {
    {"pcm16", SF_FORMAT_PCM_16}, {"pcm24", SF_FORMAT_PCM_24}, {"pcm32", SF_FORMAT_PCM_32},
    {"float", SF_FORMAT_FLOAT},  {"double", SF_FORMAT_DOUBLE}, {"pcm8", SF_FORMAT_PCM_S8},
    {"pcm8", SF_FORMAT_PCM_U8},  {"ulaw", SF_FORMAT_ULAW},     {"alaw", SF_FORMAT_ALAW},
    {"vorbis", SF_FORMAT_VORBIS}, {"opus", SF_FORMAT_OPUS},    {"mp3", SF_FORMAT_MPEG_LAYER_III},
};

bool writable(int format, int rate, int channels) {
    SF_INFO info{};
    info.format = format, info.samplerate = rate, info.channels = channels;
    return sf_format_check(&info) != 0;
}

}  // namespace

std::string describe_format(int format) {
    return format_name(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_INFO) + ", " +
           format_name(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_INFO);
}

std::uint64_t total_frames(const std::vector<std::string> &files) {
    std::uint64_t total = 0;
    for (const auto &f : files) {
        SF_INFO info{};
        if (SNDFILE *s = sf_open(f.c_str(), SFM_READ, &info)) {
            total += std::uint64_t(std::max<sf_count_t>(info.frames, 0));
            sf_close(s);
        }
    }
    return total;
}

int output_format(int input_format, const std::string &path, const std::string &container,
                  const std::string &encoding, int rate, int channels) {
    int major = input_format & SF_FORMAT_TYPEMASK;
    int endian = input_format & SF_FORMAT_ENDMASK;
    const auto dot = path.rfind('.');
    const int by_name = !container.empty() ? container_named(container)
                        : dot != std::string::npos && path.find('/', dot) == std::string::npos
                            ? container_named(path.substr(dot + 1))
                            : 0;
    if (!container.empty() && !by_name)
        throw UsageError(format("unknown file format '%s' (try wav, flac, aiff, ogg, caf, w64)",
                                container.c_str()));
    if (by_name && by_name != major) major = by_name, endian = 0;

    std::vector<int> candidates;
    if (!encoding.empty()) {
        for (const auto &e : kEncodings)
            if (encoding == e.name) candidates.push_back(e.subtype);
        if (candidates.empty())
            throw UsageError(format("unknown encoding '%s' (try pcm16, pcm24, float)", encoding.c_str()));
    } else {
        candidates = {input_format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16,
                      SF_FORMAT_VORBIS, SF_FORMAT_MPEG_LAYER_III};
    }
    for (int sub : candidates)
        for (int e : {endian, 0})
            if (writable(major | sub | e, rate, channels)) return major | sub | e;

    std::string fits;
    for (const auto &e : kEncodings)
        if (writable(major | e.subtype, rate, channels) && fits.find(e.name) == std::string::npos)
            fits += std::string(fits.empty() ? "" : ", ") + e.name;
    const std::string what = format_name(major, SFC_GET_FORMAT_INFO);
    if (fits.empty())
        throw UsageError(format("%s cannot hold %d channels at %d Hz", what.c_str(), channels, rate));
    throw UsageError(format("%s cannot hold %s samples; choose --encoding %s", what.c_str(),
                            encoding.empty() ? format_name(input_format & SF_FORMAT_SUBMASK,
                                                           SFC_GET_FORMAT_INFO).c_str()
                                             : encoding.c_str(),
                            fits.c_str()));
}

AudioWriter::AudioWriter(const std::string &path, int file_format, int rate, int channels)
    : out_(path), channels_(channels) {
    SF_INFO info{};
    info.format = file_format, info.samplerate = rate, info.channels = channels;
    file_ = sf_open_fd(out_.release_fd(), SFM_WRITE, &info, SF_TRUE);
    if (!file_)
        throw Failure(format("cannot write '%s' (%s)", path.c_str(), sf_strerror(nullptr)));
    const int sub = file_format & SF_FORMAT_SUBMASK;
    clips_ = sub != SF_FORMAT_FLOAT && sub != SF_FORMAT_DOUBLE;
    if (clips_) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (file_) sf_close(file_);
}

void AudioWriter::write(const double *interleaved, std::size_t frames) {
    if (clips_)
        for (std::size_t i = 0; i < frames * std::size_t(channels_); ++i)
            clipped_ += interleaved[i] > 1.0 || interleaved[i] < -1.0;
    if (sf_writef_double(file_, interleaved, sf_count_t(frames)) != sf_count_t(frames))
        throw Failure(format("cannot write '%s' (%s)", out_.path().c_str(), sf_strerror(file_)));
}

void AudioWriter::finish() {
    const int rc = sf_close(file_);
    file_ = nullptr;
    if (rc != 0)
        throw Failure(format("cannot write '%s' (%s)", out_.path().c_str(), sf_error_number(rc)));
    out_.commit();
}

}  // namespace tool
