#include "golden.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace golden {

const std::string &Case::text(const std::string &key) const {
    auto it = params.find(key);
    if (it == params.end()) throw std::runtime_error(id + ": no parameter " + key);
    return it->second;
}

int Case::integer(const std::string &key) const { return std::stoi(text(key)); }

double Case::real(const std::string &key) const {
    const std::string &s = text(key);
    const auto slash = s.find('/');
    if (slash == std::string::npos) return std::strtod(s.c_str(), nullptr);
    return std::strtod(s.substr(0, slash).c_str(), nullptr) /
           std::strtod(s.substr(slash + 1).c_str(), nullptr);
}

std::string directory() {
    if (const char *env = std::getenv("KWSIG_GOLDEN_DIR")) return env;
    return KWSIG_GOLDEN_DEFAULT_DIR;
}

namespace {
std::map<std::string, Runner> &registry() {
    static std::map<std::string, Runner> runners;
    return runners;
}

std::vector<Case> read_cases(const std::string *only) {
    const std::string path = directory() + "/cases.tsv";
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Case> out;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        Case c;
        std::string params, seed, hash;
        std::getline(fields, c.id, '\t');
        std::getline(fields, c.exported, '\t');
        std::getline(fields, params, '\t');
        std::getline(fields, seed, '\t');
        std::getline(fields, hash, '\t');
        if (only && c.exported != *only) continue;
        std::istringstream kv(params);
        std::string pair;
        while (std::getline(kv, pair, ';')) {
            const auto eq = pair.find('=');
            c.params[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
        }
        c.seed = std::stoull(seed);
        c.hash = std::stoull(hash, nullptr, 16);
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::vector<Case> cases_for(const std::string &exported) { return read_cases(&exported); }
std::vector<Case> all_cases() { return read_cases(nullptr); }

Register::Register(const char *exported, Runner run) { registry()[exported] = run; }

Runner runner_for(const std::string &exported) {
    auto it = registry().find(exported);
    return it == registry().end() ? nullptr : it->second;
}

}  // namespace golden
