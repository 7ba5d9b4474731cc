#include "cfgstorage.h"

#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "config/configitem.h"
#include "config/configtree.h"

HCustomCfgStorage::HCustomCfgStorage(const char* path)
    : path_(path ? path : ""), tree_(std::make_unique<HConfigTree>()) {}

HCustomCfgStorage::~HCustomCfgStorage() = default;

bool HCustomCfgStorage::Load() {
    auto tree = std::make_unique<HConfigTree>();
    if (tree->Load(path_.c_str())) {
        tree_ = std::move(tree);
        return true;
    }
    // Keep the damaged file: the store is written back at the end of the run.
    const std::string reason = GetIOErrorS_GUI(-2);
    const std::string kept = path_ + ".damaged";
    host::RenameFile(path_.c_str(), kept.c_str());
    tree_ = std::make_unique<HConfigTree>();
    SetError("%s", reason.c_str());
    return false;
}

bool HCustomCfgStorage::Save() {
    char folder[kMaxPath];
    FPath(folder, path_.c_str());
    if (folder[0]) host::MakeDirectories(folder);  // a first run: the folder is new
    return tree_->SaveAs(path_.c_str());
}

HConfigItem* HCustomCfgStorage::Node(const std::string& keyPath) {
    HConfigItem* node = tree_->Root();
    std::size_t from = 0;
    while (node && from < keyPath.size()) {
        std::size_t to = keyPath.find('/', from);
        if (to == std::string::npos) to = keyPath.size();
        if (to > from) node = node->GetChild(keyPath.substr(from, to - from).c_str());
        from = to + 1;
    }
    return node;
}

HConfigItem* HCustomStorageLink::Node() const {
    return storage_ ? storage_->Node(keyPath_) : nullptr;
}

std::string HCustomStorageLink::Read(const char* key, const char* defaultValue) const {
    HConfigItem* node = Node();
    const char* value = node ? node->GetStr(key, defaultValue) : defaultValue;
    return value ? value : "";
}

int32_t HCustomStorageLink::Read(const char* key, int32_t defaultValue) const {
    HConfigItem* node = Node();
    return node ? node->GetInt(key, defaultValue) : defaultValue;
}

double HCustomStorageLink::Read(const char* key, double defaultValue) const {
    HConfigItem* node = Node();
    return node ? node->GetDate(key, defaultValue) : defaultValue;
}

void HCustomStorageLink::Write(const char* key, const char* value) {
    if (HConfigItem* node = Node()) node->SetStr(key, value);
}

void HCustomStorageLink::Write(const char* key, int32_t value) {
    if (HConfigItem* node = Node()) node->SetInt(key, value);
}

void HCustomStorageLink::Write(const char* key, double value) {
    if (HConfigItem* node = Node()) node->SetDate(key, value);
}
