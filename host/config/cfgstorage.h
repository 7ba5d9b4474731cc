// HCfgStorage: a program's settings store, a configuration tree kept in one file
// (JSON, UTF-8), loaded once at start-up and written back when the program ends.
// HStorageLink reads and writes its values under one key path. Texts are cp1251.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class HConfigTree;
class HConfigItem;

class HCustomCfgStorage {
  public:
    // A store for the file `path` (cp1251); nothing is read yet.
    explicit HCustomCfgStorage(const char* path);
    ~HCustomCfgStorage();
    HCustomCfgStorage(const HCustomCfgStorage&) = delete;
    HCustomCfgStorage& operator=(const HCustomCfgStorage&) = delete;

    // Reads the file; a missing file is an empty store. A damaged file fails
    // (last error names the file, line and column), is kept beside itself as
    // "<name>.damaged" so that the next Save does not destroy it, and leaves an
    // empty store.
    bool Load();
    // Writes the store to its file atomically; false (last error set) on failure.
    bool Save();
    const std::string& FileName() const { return path_; }

    // The node under a key path such as "IDE" or "IDE/Grid" (created when missing).
    HConfigItem* Node(const std::string& keyPath);

  private:
    std::string path_;
    std::unique_ptr<HConfigTree> tree_;
};
using HCfgStorage = HCustomCfgStorage;

// Reads and writes the values of one key path of a store. Reads never fail: a
// missing key, or a value of another type, gives the default.
class HCustomStorageLink {
  public:
    HCustomStorageLink() = default;
    // The store (not owned; must outlive the link).
    void SetStorage(HCustomCfgStorage* storage) { storage_ = storage; }
    void SetKeyPath(const char* keyPath) { keyPath_ = keyPath ? keyPath : ""; }

    std::string Read(const char* key, const char* defaultValue) const;
    int32_t Read(const char* key, int32_t defaultValue) const;
    double Read(const char* key, double defaultValue) const;
    void Write(const char* key, const char* value);
    void Write(const char* key, int32_t value);
    void Write(const char* key, double value);

  private:
    HConfigItem* Node() const;
    HCustomCfgStorage* storage_ = nullptr;
    std::string keyPath_;
};
using HStorageLink = HCustomStorageLink;
