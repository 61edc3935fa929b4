#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace sapwell::platform {

// Which control groups were made since the previous pass, from the kernel's notices of new
// folders in the cgroup2 hierarchy. Listing the hierarchy's folders at every pass instead would
// cost several times the pass itself; a notice costs nothing until a group is made.
//
// Every folder is watched. When notices were lost to a full queue, no group is told as new for
// that pass and the watches are set up afresh; when not every folder can be watched (the
// kernel's limit on watches), none is ever told as new. Either only costs a new group's first
// interval, as if it had existed before.
class CgroupWatch {
public:
    // Watches every folder below `mountPoint`, the hierarchy's mount point.
    explicit CgroupWatch(std::string mountPoint);
    ~CgroupWatch();
    CgroupWatch(const CgroupWatch&) = delete;
    CgroupWatch& operator=(const CgroupWatch&) = delete;

    // A pass begins: the folders made since the previous call become the ones isNew tells.
    void nextPass();
    // True when `folder` ("<mount point>/<path>") was made between the two latest nextPass calls.
    bool isNew(const std::string& folder) const { return made_.contains(folder); }

private:
    static constexpr std::size_t maxWatches = 8192;

    void start();
    // Watches `folder` and every folder below it; each is new when `made`. False when a watch
    // could not be set up.
    bool watchTree(const std::string& folder, bool made);

    std::string mountPoint_;
    int fd_ = -1;
    bool complete_ = false;                         // every folder is watched
    std::unordered_map<int, std::string> folders_;  // by watch
    std::unordered_map<std::string, int> watches_;  // by folder
    std::size_t watchedAtStart_ = 0;
    std::unordered_set<std::string> made_;
};

}  // namespace sapwell::platform
