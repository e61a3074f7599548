// Replays the golden cases through whatever kwsig build this program is linked
// against, so that the x86-64 Linux build and the 32-bit Windows DLL (under
// wine) can be compared bit for bit, also on seeds beyond the golden file.
//
//   kwsig_golden_replay hashes [--seeds K]
//       "id hash" for every case whose export has a runner, then the same case
//       with K further seeds as "id+j hash" (j = 1..K).
//   kwsig_golden_replay verify
//       the golden seeds against the hashes of cases.tsv; exit 1 on a mismatch.
//   kwsig_golden_replay dump IDS OUT [--seeds K]
//       every value hashed by the cases listed in the file IDS, written to OUT.
//   kwsig_golden_replay compare IDS OTHER [--seeds K]
//       reruns the cases of IDS here and compares each value with the dump
//       OTHER made by another build: a markdown table per export of how many
//       cases differ and by how many units in the last place, the case with
//       the largest difference named. Every build gives the same bits, so any
//       difference is a defect: exit 1 when a value differs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/golden.h"
#include "crash_guard.h"

namespace {

// One hashed group of values: `n` values of `size` bytes, float/double or not.
struct Record {
    bool floating = false;
    uint32_t size = 0;
    std::vector<unsigned char> bytes;
};
using Records = std::vector<Record>;

struct Recorder : golden::Tap {
    Records out;
    void record(const void *p, std::size_t size, std::size_t n, bool floating) override {
        Record r;
        r.floating = floating;
        r.size = uint32_t(size);
        auto *b = static_cast<const unsigned char *>(p);
        r.bytes.assign(b, b + size * n);
        out.push_back(std::move(r));
    }
};

// A golden case, or the same case drawn from another seed (variant j > 0).
struct Job {
    golden::Case c;
    golden::Runner run;
    std::string id;
};

uint64_t variant_seed(uint64_t seed, int j) {
    golden::Rng r(seed + uint64_t(j));
    return r.next();
}

std::vector<Job> jobs(int seeds) {
    std::vector<Job> out;
    for (const auto &c : golden::all_cases()) {
        const golden::Runner run = golden::runner_for(c.exported);
        if (!run) continue;
        for (int j = 0; j <= seeds; ++j) {
            Job job{c, run, c.id};
            if (j > 0) {
                job.c.seed = variant_seed(c.seed, j);
                job.id += "+" + std::to_string(j);
            }
            out.push_back(std::move(job));
        }
    }
    return out;
}

std::set<std::string> read_ids(const char *path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error(std::string("cannot read ") + path);
    std::set<std::string> ids;
    std::string id;
    while (in >> id) ids.insert(id);
    return ids;
}

Records record(const Job &job) {
    Recorder rec;
    golden::tap() = &rec;
    job.run(job.c);
    golden::tap() = nullptr;
    return std::move(rec.out);
}

// ---- dump file: per case its id and records, little-endian as they lie ----
void put32(std::ofstream &f, uint32_t v) { f.write(reinterpret_cast<const char *>(&v), 4); }
uint32_t get32(std::ifstream &f) {
    uint32_t v = 0;
    f.read(reinterpret_cast<char *>(&v), 4);
    return v;
}

std::map<std::string, Records> read_dump(const char *path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error(std::string("cannot read ") + path);
    std::map<std::string, Records> all;
    for (;;) {
        const uint32_t idlen = get32(f);
        if (!f) break;
        std::string id(idlen, '\0');
        f.read(&id[0], idlen);
        Records recs(get32(f));
        for (auto &r : recs) {
            r.floating = get32(f) != 0;
            r.size = get32(f);
            r.bytes.resize(get32(f));
            f.read(reinterpret_cast<char *>(r.bytes.data()), std::streamsize(r.bytes.size()));
        }
        if (!f) throw std::runtime_error(std::string("truncated dump ") + path);
        all[id] = std::move(recs);
    }
    return all;
}

// Distance in representable values, -0 and +0 counted as neighbours.
template <typename Bits>
uint64_t ulps(Bits a, Bits b) {
    constexpr Bits sign = Bits(1) << (8 * sizeof(Bits) - 1);
    auto ordered = [](Bits x) {
        return (x & sign) ? -int64_t(x & ~sign) - 1 : int64_t(x);
    };
    const int64_t d = ordered(a) - ordered(b);
    return uint64_t(d < 0 ? -d : d);
}

template <typename F, typename Bits>
bool finite(Bits bits) {
    F x;
    std::memcpy(&x, &bits, sizeof x);
    return std::isfinite(x);
}

// "here vs there" in hexadecimal floating point.
std::string describe(const Record &r, const unsigned char *here, const unsigned char *there) {
    char b[96];
    if (r.floating && r.size == 4) {
        float x, y;
        std::memcpy(&x, here, 4);
        std::memcpy(&y, there, 4);
        std::snprintf(b, sizeof b, "%a vs %a", double(x), double(y));
    } else if (r.floating && r.size == 8) {
        double x, y;
        std::memcpy(&x, here, 8);
        std::memcpy(&y, there, 8);
        std::snprintf(b, sizeof b, "%a vs %a", x, y);
    } else {
        std::snprintf(b, sizeof b, "bytes differ");
    }
    return b;
}

double as_double(const Record &r, const unsigned char *p) {
    if (r.size == 4) {
        float x;
        std::memcpy(&x, p, 4);
        return x;
    }
    double x;
    std::memcpy(&x, p, 8);
    return x;
}

// One unit in the last place of the largest finite magnitude of a hashed
// array, in the array's own type: a scale for differences in values that are
// tiny next to the rest of the output (a response near one of its zeros).
double group_ulp(const Record &r) {
    double largest = 0;
    for (std::size_t i = 0; i < r.bytes.size(); i += r.size) {
        const double x = std::fabs(as_double(r, &r.bytes[i]));
        if (std::isfinite(x)) largest = std::max(largest, x);
    }
    if (largest == 0) return 0;
    if (r.size == 4) {
        const float f = float(largest);
        return double(std::nextafter(f, INFINITY)) - double(f);
    }
    return std::nextafter(largest, INFINITY) - largest;
}

struct ExportStats {
    int cases = 0, differing = 0;
    uint64_t values = 0, values_differing = 0, one_ulp = 0, upto4 = 0;
    uint64_t max_ulps = 0;
    double max_scaled = 0;  // in units of the last place of the largest value of the same array
};

int compare(const char *ids_path, const char *other_path, int seeds) {
    const auto ids = read_ids(ids_path);
    const auto other = read_dump(other_path);
    std::map<std::string, ExportStats> stats;
    int defects = 0;
    for (const auto &job : jobs(seeds)) {
        ExportStats &s = stats[job.c.exported];
        ++s.cases;
        if (!ids.count(job.id)) continue;
        ++s.differing;
        auto it = other.find(job.id);
        if (it == other.end()) {
            std::printf("DEFECT %s: no values from the other build\n", job.id.c_str());
            ++defects;
            continue;
        }
        const Records mine = record(job);
        const Records &theirs = it->second;
        std::string defect;
        uint64_t case_max = 0, case_diff = 0, case_values = 0;
        std::string worst;
        double case_scaled = 0;
        if (mine.size() != theirs.size()) defect = "different number of hashed groups";
        for (std::size_t g = 0; defect.empty() && g < mine.size(); ++g) {
            const Record &a = mine[g], &b = theirs[g];
            if (a.size != b.size || a.floating != b.floating || a.bytes.size() != b.bytes.size()) {
                defect = "hashed group " + std::to_string(g) + " has another shape";
                break;
            }
            const std::size_t n = a.bytes.size() / a.size;
            case_values += n;
            const double unit = a.floating ? group_ulp(a) : 0.0;
            for (std::size_t i = 0; i < n; ++i) {
                const unsigned char *pa = &a.bytes[i * a.size], *pb = &b.bytes[i * b.size];
                if (std::memcmp(pa, pb, a.size) == 0) continue;
                uint64_t d = 0;
                if (a.floating) {
                    const double gap = std::fabs(as_double(a, pa) - as_double(a, pb));
                    if (unit > 0) case_scaled = std::max(case_scaled, gap / unit);
                }
                if (a.floating && a.size == 4) {
                    uint32_t x, y;
                    std::memcpy(&x, pa, 4);
                    std::memcpy(&y, pb, 4);
                    if (!finite<float>(x) || !finite<float>(y)) defect = "a non-finite value differs";
                    d = ulps(x, y);
                } else if (a.floating && a.size == 8) {
                    uint64_t x, y;
                    std::memcpy(&x, pa, 8);
                    std::memcpy(&y, pb, 8);
                    if (!finite<double>(x) || !finite<double>(y)) defect = "a non-finite value differs";
                    d = ulps(x, y);
                } else {
                    defect = "an integer differs (group " + std::to_string(g) + ")";
                }
                ++case_diff;
                if (d >= case_max) {
                    case_max = d;
                    worst = describe(a, pa, pb) + " at index " + std::to_string(i) + " of group " +
                            std::to_string(g);
                }
                s.one_ulp += d == 1;
                s.upto4 += d <= 4;
            }
        }
        if (defect.empty() && case_diff == 0) defect = "hashes differ but no value does";
        if (defect.empty()) defect = std::to_string(case_diff) + " values differ, at most " +
                                     std::to_string(case_max) + " ulps (" + worst + ")";
        s.values += case_values;
        s.values_differing += case_diff;
        s.max_ulps = std::max(s.max_ulps, case_max);
        s.max_scaled = std::max(s.max_scaled, case_scaled);
        std::printf("DEFECT %s (%s): %s\n", job.id.c_str(), job.c.exported.c_str(), defect.c_str());
        ++defects;
    }
    std::printf("| Export | Cases | Differing cases | Values differing (in those cases) | 1 ulp | <= 4 ulps "
                "| Max ulps | Max, in ulps of the array's largest value |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const auto &[name, s] : stats) {
        auto pct = [](uint64_t a, uint64_t b) { return b ? 100.0 * double(a) / double(b) : 0.0; };
        std::printf("| `%s` | %d | %d (%.0f%%) | %llu of %llu (%.1f%%) | %.0f%% | %.0f%% | %llu | %.3g |\n",
                    name.c_str(), s.cases, s.differing, pct(uint64_t(s.differing), uint64_t(s.cases)),
                    (unsigned long long)s.values_differing, (unsigned long long)s.values,
                    pct(s.values_differing, s.values), pct(s.one_ulp, s.values_differing),
                    pct(s.upto4, s.values_differing), (unsigned long long)s.max_ulps, s.max_scaled);
    }
    return defects ? 1 : 0;
}

int seeds_option(int argc, char **argv, int from) {
    for (int i = from; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seeds") == 0) return std::atoi(argv[i + 1]);
    return 0;
}

int run(int argc, char **argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "hashes") {
        for (const auto &job : jobs(seeds_option(argc, argv, 2)))
            std::printf("%s %016llx\n", job.id.c_str(), (unsigned long long)job.run(job.c));
        return 0;
    }
    if (mode == "verify") {
        int bad = 0, good = 0;
        for (const auto &job : jobs(0)) {
            const uint64_t h = job.run(job.c);
            if (h == job.c.hash) {
                ++good;
            } else {
                ++bad;
                std::printf("MISMATCH %s %016llx want %016llx\n", job.id.c_str(), (unsigned long long)h,
                            (unsigned long long)job.c.hash);
            }
        }
        std::printf("%d golden cases match, %d differ\n", good, bad);
        return bad ? 1 : 0;
    }
    if (mode == "dump" && argc >= 4) {
        const auto ids = read_ids(argv[2]);
        std::ofstream f(argv[3], std::ios::binary);
        for (const auto &job : jobs(seeds_option(argc, argv, 4))) {
            if (!ids.count(job.id)) continue;
            const Records recs = record(job);
            put32(f, uint32_t(job.id.size()));
            f.write(job.id.data(), std::streamsize(job.id.size()));
            put32(f, uint32_t(recs.size()));
            for (const auto &r : recs) {
                put32(f, r.floating);
                put32(f, r.size);
                put32(f, uint32_t(r.bytes.size()));
                f.write(reinterpret_cast<const char *>(r.bytes.data()), std::streamsize(r.bytes.size()));
            }
        }
        return f ? 0 : 1;
    }
    if (mode == "compare" && argc >= 4) return compare(argv[2], argv[3], seeds_option(argc, argv, 4));
    std::fprintf(stderr, "usage: %s hashes|verify|dump IDS OUT|compare IDS OTHER [--seeds K]\n", argv[0]);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    kwsig_test::install_crash_guard();
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::printf("FAIL golden replay: %s\n", e.what());
        return 1;
    }
}
