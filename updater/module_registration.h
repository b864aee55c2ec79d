// Re-registering the maker's control modules around their replacement,
// through the system's registration program ("ztregsvr", our stand-in for
// regsvr32): "ztregsvr /u /s MODULE" removes a module's registration before
// it is deleted, "ztregsvr /s MODULE" registers the new copy.
//
// Which program: the one named by the updater's setting "RegServerProgram"
// (section "Settings"), else "ztregsvr" beside the updater itself, else in
// the maker's shared components folder. Without one, registration is
// skipped with a reason: a module keeps its path across an update, so its
// registration (which names that path) stays good, and an update must not
// fail for want of a program that only refreshes it.
//
// Plain C++; runs the program as a child and waits for it, at most
// kRegistrationTimeout (then it is killed and counts as failed).

#ifndef QUARRY_UPDATER_MODULE_REGISTRATION_H_
#define QUARRY_UPDATER_MODULE_REGISTRATION_H_

#include <chrono>
#include <string>

namespace quarry {

namespace platform {
class SettingsStore;
}

inline constexpr char kRegServerProgramValue[] = "RegServerProgram";
inline constexpr char kRegServerProgramName[] = "ztregsvr";
inline constexpr std::chrono::seconds kRegistrationTimeout{30};

// Where to look for the registration program. Empty members are skipped.
struct RegistrationProgramSearch {
  std::string configured;       // the setting's value
  std::string updater_folder;   // the folder of the running updater
  std::string working_folder;   // the shared components folder
};

// The program to run, or empty when none of the places holds an executable
// file (a configured one that is missing is not looked past, so that a
// wrong setting shows up as the reason).
std::string FindRegistrationProgram(const RegistrationProgramSearch& search,
                                    std::string* reason);

// Where the updater looks by default: the setting of `store`, the folder of
// the running program, and `working_folder`.
RegistrationProgramSearch DefaultRegistrationSearch(const platform::SettingsStore& store,
                                                    const std::string& working_folder);

struct RegistrationResult {
  enum class Status { kDone, kFailed, kSkipped };
  Status status = Status::kSkipped;
  std::string reason;  // for kFailed and kSkipped
};

// Runs the registration of `module` (unregister: "/u" first) silently.
class ModuleRegistrar {
 public:
  virtual ~ModuleRegistrar() = default;
  virtual RegistrationResult Run(const std::string& module, bool unregister) = 0;
};

// The registration program found by `search` (looked up once, when first
// needed).
class ProgramModuleRegistrar : public ModuleRegistrar {
 public:
  explicit ProgramModuleRegistrar(RegistrationProgramSearch search)
      : search_(std::move(search)) {}
  RegistrationResult Run(const std::string& module, bool unregister) override;

 private:
  RegistrationProgramSearch search_;
  bool looked_ = false;
  std::string program_;
  std::string missing_reason_;
};

// Runs `program` [/u] /s `module` and waits for it (bounded).
RegistrationResult RunRegistrationProgram(const std::string& program, const std::string& module,
                                          bool unregister);

}  // namespace quarry

#endif  // QUARRY_UPDATER_MODULE_REGISTRATION_H_
