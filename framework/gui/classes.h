// Objects, components and events.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class TObject {
public:
    virtual ~TObject() = default;
};

// A component may own others; an owner destroys what it owns, last created
// first.  Components are named, and found by name within their owner.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TComponent* Owner() const { return owner_; }

    TComponent* FindComponent(std::string_view name) const;
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_[static_cast<std::size_t>(index)]; }

protected:
    // Destroys every owned component now, last created first.
    void DestroyComponents();

private:
    TComponent* owner_;
    std::string name_;
    std::vector<TComponent*> components_;
};

using TNotifyEvent = std::function<void(TObject* sender)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;
using TDropFilesEvent = std::function<void(TObject* sender, const std::vector<std::string>& files)>;

}  // namespace fw
