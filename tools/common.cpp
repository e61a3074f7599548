#include "common.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <set>
#include <thread>

namespace tool {

std::string format(const char *fmt, ...) {
    va_list args, again;
    va_start(args, fmt);
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string s(n > 0 ? std::size_t(n) : 0, '\0');
    std::vsnprintf(s.data(), s.size() + 1, fmt, again);
    va_end(again);
    return s;
}

std::string db(double amplitude) {
    // Rounded first, so a level a hair below 0 dB prints 0.00, not -0.00.
    return amplitude > 0 ? format("%.2f", std::round(2000 * std::log10(amplitude)) / 100 + 0.0) : "-inf";
}

// ---- output files ----------------------------------------------------------

namespace {

// Files get the permissions the user's umask gives new files (mkstemp alone
// would leave them private). Read once, before any thread runs.
const mode_t kFileMode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666 & ~mask);
}();

std::string folder_of(const std::string &path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string name_of(const std::string &path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_folder(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    if (is_folder(path_)) throw Failure(format("cannot write '%s': it is a folder", path_.c_str()));
    temp_ = folder_of(path_) + "/." + name_of(path_) + ".kwsig-XXXXXX";
    fd_ = mkstemp(temp_.data());
    if (fd_ < 0)
        throw Failure(format("cannot write '%s': %s", path_.c_str(), std::strerror(errno)));
    fchmod(fd_, kFileMode);
}

OutputFile::~OutputFile() {
    if (done_) return;
    if (fd_ >= 0) close(fd_);
    unlink(temp_.c_str());
}

int OutputFile::release_fd() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void OutputFile::commit() {
    if (fd_ >= 0) {
        const int rc = close(release_fd());
        if (rc != 0)
            throw Failure(format("cannot write '%s': %s", path_.c_str(), std::strerror(errno)));
    }
    if (std::rename(temp_.c_str(), path_.c_str()) != 0)
        throw Failure(format("cannot write '%s': %s", path_.c_str(), std::strerror(errno)));
    done_ = true;
}

void write_text_file(const std::string &path, const std::string &text) {
    OutputFile out(path);
    for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = write(out.fd(), text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw Failure(format("cannot write '%s': %s", path.c_str(), std::strerror(errno)));
        at += std::size_t(n);
    }
    out.commit();
}

std::vector<std::string> output_names(const std::string &out, const std::vector<std::string> &inputs,
                                      const std::string &extension) {
    const bool folder = is_folder(out);
    if (inputs.size() == 1 && !folder) return {out};
    if (!folder)
        throw UsageError(format("'%s' must be an existing folder when several inputs are given",
                                out.c_str()));
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const auto &input : inputs) {
        std::string name = name_of(input);
        if (!extension.empty()) name = name.substr(0, name.rfind('.')) + extension;
        if (!seen.insert(name).second)
            throw UsageError(format("two inputs would both write '%s' in '%s'", name.c_str(), out.c_str()));
        names.push_back(out + "/" + name);
    }
    return names;
}

// ---- parallel runs -----------------------------------------------------------

int for_each_file(const std::vector<std::string> &files, int jobs,
                  const std::function<std::string(std::size_t)> &work) {
    const std::size_t n = files.size();
    std::vector<std::string> text(n), error(n);
    std::vector<int> status(n, -1);  // -1 while running
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};

    auto worker = [&] {
        for (std::size_t i; (i = next++) < n;) {
            std::string out, err;
            int rc = 0;
            try {
                out = work(i);
            } catch (const UsageError &e) {
                err = e.what(), rc = 2;
            } catch (const std::bad_alloc &) {
                err = "out of memory", rc = 1;
            } catch (const std::exception &e) {
                err = e.what(), rc = 1;
            }
            std::lock_guard<std::mutex> lock(mutex);
            text[i] = std::move(out);
            error[i] = std::move(err);
            status[i] = rc;
            finished.notify_all();
        }
    };
    std::vector<std::thread> threads;
    const std::size_t nthreads = std::min<std::size_t>(n, std::size_t(std::max(jobs, 1)));
    for (std::size_t t = 0; t < nthreads; ++t) threads.emplace_back(worker);

    int result = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return status[i] >= 0; });
        Progress::print(stdout, text[i]);
        if (status[i] != 0) {
            Progress::print(stderr, "kwsig: " + files[i] + ": " + error[i] + "\n");
            result = std::max(result, status[i]);
        }
    }
    for (auto &t : threads) t.join();
    return result;
}

// ---- channel workers ----------------------------------------------------------

struct Workers::Impl {
    std::vector<std::thread> team;
    std::mutex mutex;
    std::condition_variable start, done;
    const std::function<void(std::size_t)> *job = nullptr;
    std::size_t finished = 0;
    std::atomic<std::size_t> n{0}, next{0};
    unsigned long round = 0;
    bool quit = false;
    std::exception_ptr error;

    // Takes channels until none is left; the last one out wakes run().
    void work() {
        for (std::size_t c; (c = next++) < n;) {
            try {
                (*job)(c);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex);
                if (!error) error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (++finished == n) done.notify_all();
        }
    }
    void helper() {
        unsigned long seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                start.wait(lock, [&] { return quit || round != seen; });
                if (quit) return;
                seen = round;
            }
            work();
        }
    }
};

Workers::Workers(int threads) : impl_(new Impl) {
    for (int t = 1; t < threads; ++t) impl_->team.emplace_back([this] { impl_->helper(); });
}

Workers::~Workers() {
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->quit = true;
    }
    impl_->start.notify_all();
    for (auto &t : impl_->team) t.join();
    delete impl_;
}

void Workers::run(std::size_t n, const std::function<void(std::size_t)> &job) {
    Impl &w = *impl_;
    if (w.team.empty() || n < 2) {
        for (std::size_t c = 0; c < n; ++c) job(c);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(w.mutex);
        w.job = &job, w.n = n, w.finished = 0, w.next = 0, w.error = nullptr;
        ++w.round;
    }
    w.start.notify_all();
    w.work();
    std::unique_lock<std::mutex> lock(w.mutex);
    w.done.wait(lock, [&] { return w.finished == n; });
    if (w.error) std::rethrow_exception(w.error);
}

// ---- progress ----------------------------------------------------------------

namespace {
std::atomic<std::uint64_t> g_done{0};
std::mutex g_line;              // the progress line on stderr
std::size_t g_line_length = 0;  // 0 while no line is shown

void erase_line() {
    if (g_line_length) std::fprintf(stderr, "\r%*s\r", int(g_line_length), "");
    g_line_length = 0;
}
}  // namespace

struct Progress::Impl {
    std::string label;
    std::uint64_t total;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread thread;

    void run() {
        using clock = std::chrono::steady_clock;
        const auto start = clock::now();
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, std::chrono::milliseconds(250), [&] { return stop; })) {
            if (clock::now() - start < std::chrono::seconds(2)) continue;
            const double part = std::min(1.0, double(g_done.load()) / double(total));
            std::lock_guard<std::mutex> line(g_line);
            g_line_length = std::size_t(std::fprintf(stderr, "\r%s %3.0f%%", label.c_str(), 100 * part)) - 1;
        }
        std::lock_guard<std::mutex> line(g_line);
        erase_line();
    }
};

void Progress::print(std::FILE *stream, const std::string &text) {
    std::lock_guard<std::mutex> line(g_line);
    erase_line();
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

Progress::Progress(std::string label, std::uint64_t total) : impl_(nullptr) {
    g_done = 0;
    if (total == 0 || !isatty(STDERR_FILENO)) return;
    impl_ = new Impl{std::move(label), total, {}, {}, false, {}};
    impl_->thread = std::thread([this] { impl_->run(); });
}

Progress::~Progress() {
    if (!impl_) return;
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->stop = true;
    }
    impl_->wake.notify_all();
    impl_->thread.join();
    delete impl_;
}

void Progress::advance(std::uint64_t units) { g_done += units; }

}  // namespace tool
