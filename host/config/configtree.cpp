#include "configtree.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>

#include <nlohmann/json.hpp>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/strutil.h"

using namespace host::literals;
using Json = nlohmann::ordered_json;

// A node finds its JSON object anew through its parent once the tree has been
// written to, so that a node stays valid whatever happens to the object's
// storage (an ordered object moves its members when it grows) and whatever a
// write does to the key. Between writes it keeps the object it found: a lookup
// in an ordered object goes through its members one by one, and a job of
// thousands of contours reads each contour's keys through its parent's.
class HConfigTree::Node final : public HConfigItem {
  public:
    Node(HConfigTree::Impl* tree, Node* parent, std::string name)
        : tree_(tree), parent_(parent), name_(std::move(name)) {}

    bool GetBool(const char* key, bool defaultValue) override {
        const Json* v = Find(key);
        return v && v->is_boolean() ? v->get<bool>() : defaultValue;
    }
    int32_t GetInt(const char* key, int32_t defaultValue) override {
        const Json* v = Find(key);
        if (!v) return defaultValue;
        if (v->is_number_unsigned()) {
            const auto u = v->get<uint64_t>();
            return u <= uint64_t(std::numeric_limits<int32_t>::max()) ? int32_t(u) : defaultValue;
        }
        if (v->is_number_integer()) {
            const auto i = v->get<int64_t>();
            return i >= std::numeric_limits<int32_t>::min() &&
                           i <= std::numeric_limits<int32_t>::max()
                       ? int32_t(i)
                       : defaultValue;
        }
        return defaultValue;
    }
    double GetDate(const char* key, double defaultValue) override {
        const Json* v = Find(key);
        return v && v->is_number() ? v->get<double>() : defaultValue;
    }
    const char* GetStr(const char* key, const char* defaultValue) override {
        const Json* v = Find(key);
        if (!v || !v->is_string()) return defaultValue;
        text_ = host::Utf8ToCp1251Lossy(v->get_ref<const std::string&>());
        return text_.c_str();
    }

    void SetBool(const char* key, bool value) override { Put(key, Json(value)); }
    void SetByte(const char* key, uint8_t value) override { Put(key, Json(value)); }
    void SetWord(const char* key, uint16_t value) override { Put(key, Json(value)); }
    void SetDWord(const char* key, uint32_t value) override { Put(key, Json(value)); }
    void SetInt(const char* key, int32_t value) override { Put(key, Json(value)); }
    void SetDate(const char* key, double value) override {
        // JSON has no NaN or infinity; such a date is stored as 0 (no date).
        Put(key, Json(std::isfinite(value) ? value : 0.0));
    }
    void SetStr(const char* key, const char* value) override {
        Put(key, Json(host::Cp1251ToUtf8(value ? value : "")));
    }

    HConfigItem* GetChild(const char* name) override;
    HConfigItem* FindChild(const char* name) override;
    HConfigValue Peek(const char* key) override;
    std::string FileName() override;
    std::string NodePath() override;

    // The node's object; null when it does not exist (read-only tree), created
    // (replacing a value of another kind) when `create` is set.
    Json* Resolve(bool create);

  private:
    const Json* Find(const char* key) {
        Json* obj = Resolve(false);
        if (!obj || !key) return nullptr;
        auto it = obj->find(host::Cp1251ToUtf8(key));
        return it == obj->end() ? nullptr : &*it;
    }
    void Put(const char* key, Json value);
    Node* ChildNode(const std::string& key);

    HConfigTree::Impl* tree_;
    Node* parent_;
    std::string name_;       // the key in the parent's object (UTF-8)
    std::string text_;       // the last text handed out by GetStr
    Json* found_ = nullptr;  // the node's object as of the tree's write `foundAt_`
    uint64_t foundAt_ = 0;
    std::map<std::string, std::unique_ptr<Node>> children_;
};

struct HConfigTree::Impl {
    Json doc = Json::object();
    bool readOnly = false;
    std::string path;  // the file (cp1251); empty for a tree without one
    std::unique_ptr<Node> root;
    uint64_t writes = 0;  // changes of the document so far
};

Json* HConfigTree::Node::Resolve(bool create) {
    if (!parent_) return &tree_->doc;
    if (found_ && foundAt_ == tree_->writes) return found_;
    Json* p = parent_->Resolve(create);
    if (!p) return nullptr;
    auto it = p->find(name_);
    if (it != p->end() && it->is_object()) {
        found_ = &*it;
    } else {
        if (!create) return nullptr;
        Json& slot = (*p)[name_];
        slot = Json::object();
        ++tree_->writes;
        found_ = &slot;
    }
    foundAt_ = tree_->writes;
    return found_;
}

void HConfigTree::Node::Put(const char* key, Json value) {
    if (tree_->readOnly || !key) return;
    Json* obj = Resolve(true);
    (*obj)[host::Cp1251ToUtf8(key)] = std::move(value);  // JSON holds only UTF-8
    ++tree_->writes;
}

HConfigTree::Node* HConfigTree::Node::ChildNode(const std::string& key) {
    auto& child = children_[key];
    if (!child) child = std::make_unique<Node>(tree_, this, key);
    return child.get();
}

HConfigItem* HConfigTree::Node::GetChild(const char* name) {
    if (!name) return nullptr;
    if (tree_->readOnly) return FindChild(name);
    const std::string key = host::Cp1251ToUtf8(name);
    Json* obj = Resolve(true);
    auto it = obj->find(key);
    if (it == obj->end() || !it->is_object()) {
        (*obj)[key] = Json::object();
        ++tree_->writes;
    }
    return ChildNode(key);
}

HConfigItem* HConfigTree::Node::FindChild(const char* name) {
    if (!name) return nullptr;
    const std::string key = host::Cp1251ToUtf8(name);
    Json* obj = Resolve(false);
    if (!obj) return nullptr;
    auto it = obj->find(key);
    if (it == obj->end() || !it->is_object()) return nullptr;
    return ChildNode(key);
}

HConfigValue HConfigTree::Node::Peek(const char* key) {
    HConfigValue v;
    const Json* j = Find(key);
    if (!j) return v;
    if (j->is_string()) {
        v.kind = HConfigValue::Text;
        v.text = host::Utf8ToCp1251Lossy(j->get_ref<const std::string&>());
        return v;
    }
    v.text = host::Utf8ToCp1251Lossy(j->dump());
    if (j->is_boolean()) {
        v.kind = HConfigValue::Flag;
        v.integer = j->get<bool>() ? 1 : 0;
    } else if (j->is_number_integer() &&
               (!j->is_number_unsigned() ||
                j->get<uint64_t>() <= uint64_t(std::numeric_limits<int64_t>::max()))) {
        v.kind = HConfigValue::Integer;
        v.integer = j->get<int64_t>();
        v.number = double(v.integer);
    } else if (j->is_number()) {
        v.kind = HConfigValue::Number;  // a fraction, or an integer beyond 64 signed bits
        v.number = j->get<double>();
    } else {
        v.kind = HConfigValue::Other;
    }
    return v;
}

std::string HConfigTree::Node::FileName() {
    return tree_->path;
}

std::string HConfigTree::Node::NodePath() {
    if (!parent_) return std::string();
    const std::string up = parent_->NodePath();
    const std::string name = host::Utf8ToCp1251Lossy(name_);
    return up.empty() ? name : up + "/" + name;
}

HConfigTree::HConfigTree() : impl_(std::make_unique<Impl>()) {
    impl_->root = std::make_unique<Node>(impl_.get(), nullptr, std::string());
}

HConfigTree::~HConfigTree() = default;

HConfigItem* HConfigTree::Root() {
    return impl_->root.get();
}

namespace {
// Line and column (from 1) of a byte offset in a text.
void LineColumn(const std::string& text, std::size_t offset, int& line, int& column) {
    line = 1;
    column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
}
}  // namespace

bool HConfigTree::Load(const char* path, bool readOnly) {
    const std::string file = path ? path : "";
    Json doc = Json::object();
    if (host::FileExists(file.c_str())) {
        std::string text;
        if (!host::ReadWholeFile(file.c_str(), text, std::size_t(64) << 20)) {
            const std::string reason = GetIOErrorS_GUI(-2);
            SetError("%s \"%s\": %s", "Файл настроек"_cp, file.c_str(), reason.c_str());
            return false;
        }
        try {
            doc = Json::parse(text);
        } catch (const Json::parse_error& e) {
            int line = 0, column = 0;
            // The parser reports the offset one past the byte it stopped at.
            LineColumn(text, e.byte > 0 ? e.byte - 1 : 0, line, column);
            SetError("%s \"%s\" %s %d, %s %d", "Файл настроек"_cp, file.c_str(),
                     "поврежден: ошибка JSON в строке"_cp, line, "позиция"_cp, column);
            return false;
        }
        if (!doc.is_object()) {
            SetError("%s \"%s\" %s", "Файл настроек"_cp, file.c_str(),
                     "поврежден: корень не объект JSON"_cp);
            return false;
        }
    }
    impl_ = std::make_unique<Impl>();
    impl_->doc = std::move(doc);
    impl_->readOnly = readOnly;
    impl_->path = file;
    impl_->root = std::make_unique<Node>(impl_.get(), nullptr, std::string());
    readOnly_ = readOnly;
    return true;
}

std::string HConfigTree::Dump() const {
    return impl_->doc.dump(2) + "\n";
}

const std::string& HConfigTree::Path() const {
    return impl_->path;
}

bool HConfigTree::Save() {
    if (impl_->path.empty()) {
        SetError("%s", "Файл настроек не задан"_cp);
        return false;
    }
    const std::string path = impl_->path;
    return SaveAs(path.c_str());
}

bool HConfigTree::SaveAs(const char* path) {
    if (readOnly_) {
        SetError("%s \"%s\" %s", "Файл настроек"_cp, path ? path : "",
                 "открыт только для чтения"_cp);
        return false;
    }
    if (!path || !*path) {
        SetError("%s", "Файл настроек не задан"_cp);
        return false;
    }
    if (!host::WriteFileAtomically(path, Dump())) {
        const std::string reason = GetIOErrorS_GUI(-2);
        SetError("%s \"%s\" %s: %s", "Файл настроек"_cp, path, "не записан"_cp, reason.c_str());
        return false;
    }
    impl_->path = path;
    return true;
}

namespace host {
std::string JobFilePath(const char* home, const char* jobName) {
    std::string p = home ? home : "";
    if (!p.empty() && p.back() != '/' && p.back() != '\\') p += '/';
    return p + "Jobs/" + (jobName ? jobName : "") + ".json";
}
}  // namespace host
