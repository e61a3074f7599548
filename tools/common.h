// Shared plumbing of the kwsig command: errors and exit statuses, output
// files that appear only when complete, output names for several inputs,
// parallel runs over files and progress on a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tool {

// Wrong use of the command: exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A file could not be read, written or understood: exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// 20 log10(x) printed with two decimals, "-inf" for zero.
std::string db(double amplitude);

// An output written under a temporary name in its final folder and renamed
// over `path` by commit(): a failed run leaves neither a truncated file nor a
// changed old one. The destructor removes an uncommitted temporary.
class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    int fd() const { return fd_; }            // open for writing
    int release_fd();                         // the caller closes it from now on
    void commit();                            // closes (if still owned) and renames
    const std::string &path() const { return path_; }

private:
    std::string path_, temp_;
    int fd_ = -1;
    bool done_ = false;
};

void write_text_file(const std::string &path, const std::string &text);

// Where the output for `input` goes. `out` is a file name when there is one
// input and `out` is not a folder; otherwise it must be a folder and the
// output takes the input's name, with its extension replaced by `extension`
// when that is not empty. Several inputs with the same name are refused.
std::vector<std::string> output_names(const std::string &out, const std::vector<std::string> &inputs,
                                      const std::string &extension);

// Runs work(i) for every file on up to `jobs` threads and prints, in input
// order, what each returned (stdout) or its failure (stderr, one line
// "kwsig: FILE: reason"). Returns the exit status: 0, or 1 if any failed.
int for_each_file(const std::vector<std::string> &files, int jobs,
                  const std::function<std::string(std::size_t)> &work);

// A fixed team of threads for the channels of one file: run() calls job(c)
// for c = 0 .. n-1 spread over the team (the calling thread included) and
// returns when all are done, rethrowing the first exception of a job.
class Workers {
public:
    explicit Workers(int threads);
    ~Workers();
    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;
    void run(std::size_t n, const std::function<void(std::size_t)> &job);

private:
    struct Impl;
    Impl *impl_;
};

// Progress of long work, shown on stderr only when it is a terminal and the
// work has lasted two seconds. Workers report units done with advance().
class Progress {
public:
    Progress(std::string label, std::uint64_t total);
    ~Progress();
    static void advance(std::uint64_t units);
    // Writes text without mixing it into the progress line, which the next
    // update redraws below it.
    static void print(std::FILE *stream, const std::string &text);

private:
    struct Impl;
    Impl *impl_;
};

}  // namespace tool
