#include "cache.h"

#include <sys/stat.h>

#include <filesystem>

#include "common/osfile.h"

namespace web {
namespace {

void Mix(uint64_t& h, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 0x100000001b3ULL;
    }
}

// The facts of one entry that change when it is written.
void MixEntry(uint64_t& h, const std::string& osPath, const std::string& name) {
    struct stat st {};
    if (::lstat(osPath.c_str(), &st) != 0) return;
    const int64_t facts[] = {st.st_size,         st.st_mtim.tv_sec,  st.st_mtim.tv_nsec,
                             st.st_ctim.tv_sec,  st.st_ctim.tv_nsec, int64_t(st.st_ino),
                             int64_t(st.st_mode)};
    Mix(h, name.data(), name.size() + 1);
    Mix(h, facts, sizeof facts);
}

}  // namespace

uint64_t FoldersStamp(const std::vector<std::string>& whole, const std::vector<std::string>& own) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const std::string& folder : own)
        MixEntry(h, host::OsPath(folder.c_str()), folder);
    for (const std::string& folder : whole) {
        MixEntry(h, host::OsPath(folder.c_str()), folder);
        std::error_code ec;
        uint64_t sum = 0;
        for (const auto& e :
             std::filesystem::directory_iterator(host::OsPath(folder.c_str()), ec)) {
            // Entries come in no set order: each is hashed alone and summed.
            uint64_t one = 0xcbf29ce484222325ULL;
            MixEntry(one, e.path().string(), e.path().filename().string());
            sum += one;
        }
        Mix(h, &sum, sizeof sum);
    }
    return h;
}

std::optional<Response> ResponseCache::Find(const std::string& key, uint64_t stamp) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = index_.find(key);
    if (it == index_.end() || it->second->stamp != stamp) return std::nullopt;
    entries_.splice(entries_.begin(), entries_, it->second);
    const Entry& e = *it->second;
    Response r;
    r.status = e.status;
    r.contentType = e.contentType;
    r.body = e.body;
    r.downloadName = e.downloadName;
    return r;
}

void ResponseCache::Put(const std::string& key, uint64_t stamp, const Response& r) {
    if (r.file || r.body.size() > budget_ / 8) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto it = index_.find(key); it != index_.end()) {
        bytes_ -= it->second->body.size();
        entries_.erase(it->second);
        index_.erase(it);
    }
    entries_.push_front({key, stamp, r.status, r.contentType, r.body, r.downloadName});
    index_[key] = entries_.begin();
    bytes_ += r.body.size();
    while (bytes_ > budget_ && !entries_.empty()) {
        bytes_ -= entries_.back().body.size();
        index_.erase(entries_.back().key);
        entries_.pop_back();
    }
}

}  // namespace web
