// HConfigTree: a configuration tree kept in a JSON file (UTF-8), one object per
// node. Keys are stored literally ("Rele/Used" is one key); child nodes are
// nested objects; integers are JSON integers, dates JSON numbers (platform
// date-times), texts JSON strings (cp1251 inside the system, UTF-8 in the file).
// A job of the host is the file HOME/Jobs/NAME.json; its root object is the job
// node. The tree owns its nodes; node pointers stay valid for the tree's life.
#pragma once

#include <memory>
#include <string>

#include "config/configitem.h"

class HConfigTree {
  public:
    // An empty writable tree without a file.
    HConfigTree();
    ~HConfigTree();
    HConfigTree(const HConfigTree&) = delete;
    HConfigTree& operator=(const HConfigTree&) = delete;

    // Reads the file (cp1251 path). A missing file gives an empty tree. A file
    // that is not a JSON object fails: false, the tree stays as it was, the file
    // is untouched, and the last error names the file and the line and column.
    // A tree loaded read-only ignores writes and yields null for missing children.
    bool Load(const char* path, bool readOnly = false);
    // Writes the tree to its file (SaveAs for another path) atomically: a crash
    // or a full disk leaves the old file. False (last error set) on failure or
    // for a read-only tree.
    bool Save();
    bool SaveAs(const char* path);

    // The root node, owned by the tree.
    HConfigItem* Root();
    // The file of the tree (cp1251); empty before Load or SaveAs.
    const std::string& Path() const;
    bool ReadOnly() const { return readOnly_; }
    // The tree as JSON text (UTF-8), as it would be saved.
    std::string Dump() const;

    class Node;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool readOnly_ = false;
};

namespace host {
// The file of a job: HOME/Jobs/NAME.json (cp1251).
std::string JobFilePath(const char* home, const char* jobName);
}  // namespace host
