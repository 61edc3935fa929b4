#pragma once

// The one contact surface with the operating system. Core code receives these interfaces as
// parameters; production passes the platform's implementation, tests pass fakes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChargeState.hpp"
#include "Owner.hpp"

namespace sapwell {

using Pid = std::int32_t;

// Where the system keeps a CPU counter per group of processes that goes on counting the work of
// members that have exited (control groups on Linux), the work of processes that lived and died
// between two passes can still be counted. Systems without such groups leave this absent.
class ProcessGroups {
public:
    virtual ~ProcessGroups() = default;
    // The group a process runs in, as a name unique on this system; absent when it runs in none
    // that counts apart from the whole system, or when that cannot be read.
    virtual std::optional<std::string> groupOf(Pid pid) = 0;
    // Cumulative CPU time in nanoseconds of every process that ever ran in the group; absent
    // when the group is gone or cannot be read.
    virtual std::optional<std::uint64_t> groupCPUTimeNS(const std::string& group) = 0;
    // The application a group belongs to by its own name or an enclosing group's; absent when the
    // group does not tell, and its members decide.
    virtual std::optional<Owner> groupOwner(const std::string& group) = 0;
    // True when the group was made since the previous listing of processes, so everything its
    // counter holds was done since; false when it existed then, or when that cannot be told.
    virtual bool groupIsNew(const std::string& /*group*/) { return false; }
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // Every live process, each identifier > 0, in the order the system lists them.
    virtual std::vector<Pid> listPIDs() = 0;
    // Cumulative energy in nanojoules; absent where the system keeps no such counter.
    virtual std::optional<std::uint64_t> energyNJ(Pid pid) = 0;
    // Cumulative user + system CPU time in nanoseconds; absent when unreadable or gone.
    virtual std::optional<std::uint64_t> taskCPUTimeNS(Pid pid) = 0;
    // Executable path, invalid UTF-8 replaced by U+FFFD.
    virtual std::optional<std::string> processPath(Pid pid) = 0;
    // Last component of the path, else the kernel's short name.
    virtual std::optional<std::string> processName(Pid pid) = 0;
    // Seconds since the process started; absent where the system cannot tell. Together with the
    // pid it tells one process from a later one that got the same pid.
    virtual std::optional<double> processAgeSeconds(Pid /*pid*/) { return std::nullopt; }
    // The per-group CPU counters, where the system keeps them; absent by default.
    virtual ProcessGroups* groups() { return nullptr; }
    // The application a process belongs to. Absent means "no owner known": the caller names the
    // process by its short name. The default applies the path rules of OwnerResolver.
    virtual std::optional<Owner> ownerOf(Pid pid, const std::optional<std::string>& path);
};

class Clocks {
public:
    virtual ~Clocks() = default;
    // Monotonic, counts time asleep. 0.0 when unreadable.
    virtual double continuousSeconds() = 0;
    // Monotonic, stops while asleep. 0.0 when unreadable.
    virtual double awakeSeconds() = 0;
    // Seconds since the Unix epoch. 0.0 when unreadable.
    virtual double wallSeconds() = 0;
};

// What the battery tells at one moment, each platform converting its own units into these; a
// field is absent when the battery does not report it, and all are absent without a battery.
struct BatteryReading {
    std::optional<double> levelPct = {};  // charge level in percent, as reported (not clamped)
    std::optional<ChargeState> state = {};
    std::optional<double> fullMJ = {};       // energy of a full battery, millijoules
    std::optional<double> remainingMJ = {};  // energy left, millijoules
    // Power the battery delivers or takes, milliwatts, as a magnitude: firmwares disagree on the
    // sign, and the state tells the direction.
    std::optional<double> powerMW = {};
    bool operator==(const BatteryReading&) const = default;
};

class BatterySource {
public:
    virtual ~BatterySource() = default;
    // Read afresh on every call.
    virtual BatteryReading read() = 0;
};

class Environment {
public:
    virtual ~Environment() = default;
    // A variable of the process environment; absent when unset.
    virtual std::optional<std::string> get(std::string_view name) const = 0;

    // The user's folder for application data, under which "Sapwell/" is kept; absent when there
    // is none. The default follows the XDG rules: $XDG_DATA_HOME, else ~/.local/share with the
    // home from $HOME or, when that is unset too, from the account. Empty and relative values do
    // not count.
    virtual std::optional<std::filesystem::path> dataFolder() const;
    // The system locale, as a POSIX locale name or a language code ("de_DE.UTF-8", "de");
    // empty when none is set. The default reads LC_ALL, LC_MESSAGES and LANG in that order.
    virtual std::string localeName() const;
    // The folder for temporary files. The default is $TMPDIR, else $XDG_RUNTIME_DIR when it is an
    // absolute path, else /tmp.
    virtual std::filesystem::path tempFolder() const;
    // The home folder of the user's account, from the account database rather than $HOME;
    // absent when unknown.
    virtual std::optional<std::string> accountHome() const { return std::nullopt; }
};

// The whole seam, as the application and the command-line modes receive it.
struct Seam {
    ProcessTable& processes;
    Clocks& clocks;
    BatterySource& battery;
    Environment& env;
};

// Truncates a wall-clock reading toward zero to whole Unix seconds.
std::int64_t wholeSeconds(double wallSeconds);

}  // namespace sapwell
