// The update check: asks the maker's address list which server to use,
// reads that server's version list, and marks each record that has a newer
// version there. Runs synchronously on the caller's thread (the updater
// starts it on a worker) and reports through a CheckSink as it goes.
//
// Network access is the retrieval library's (LookupServerAddress,
// RetrieveData), each call bounded by its time-outs. A failed lookup or
// version list leaves every record unmarked and "LastUpdate" unwritten. So
// does a version list that is not signed by the key the updater trusts
// (update_signature.h): nothing in it is believed, and the user is told
// why (unless the check is quiet).

#ifndef QUARRY_UPDATER_UPDATE_CHECK_H_
#define QUARRY_UPDATER_UPDATE_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

#include "updater/update_file_record.h"
#include "updater/updater_settings.h"

namespace quarry {

// The updater's own version, which the server's list is checked against.
inline constexpr double kUpdaterVersion = 2.09;
// The updater's own file, looked up in the version list for the self-check.
inline constexpr char kUpdaterFileName[] = "KspAutoUpdater";

inline constexpr char kContactFailedText[] =
    "Failed to Contact File Server\nCheck Internet Connections or Try Again Later.   \n"
    "If the Problem Persists Please Contact";
inline constexpr char kRetrieveFailedText[] =
    "Failed to Retrieve File Version Info\nCheck Internet Connections or Try Again Later.   \n"
    "If the Problem Persists Please Contact";
inline constexpr char kFurtherAssistanceText[] = "\nfor Further Assistance.";
inline constexpr char kOutOfDateFormat[] =
    "Zandor Technologies' Auto Updater Is Out of Date.\n\nThis version: %0.2f\n"
    "Current version: %0.2f\n\nPlease Visit the Zandor Technologies Website    \n"
    "to Update and Try Again.";

// What a check reports while it runs, on the check's thread.
class CheckSink {
 public:
  virtual ~CheckSink() = default;
  // The progress bar: range 0..count at 0, shown; then one step per record.
  virtual void ProgressStart(int count) = 0;
  virtual void ProgressStep() = 0;
  // Record `row` was looked up; `listed` false when the server does not
  // list it (its available version shows "?").
  virtual void RowChecked(size_t row, const UpdateFileRecord& record, bool listed) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void ShowNotice(const std::string& text) = 0;
  virtual void OpenWebPage(const std::string& address) = 0;
};

struct CheckRequest {
  std::vector<UpdateFileRecord> records;
  ProductInfo product;
  uint32_t base_product_code = 0;
  uint32_t base_product_version = 0;
  bool quiet = false;                // no failure messages
  std::string support_address;      // named in the failure messages
  std::string update_web_page;      // opened when the updater is outdated
  CUpdaterSettings* settings = nullptr;  // "LastUpdate"; not owned
  int64_t now = 0;                   // seconds since 1970, for "LastUpdate"
  // The key version lists must be signed with (raw bytes); empty refuses
  // every list.
  std::string public_key;
};

struct CheckOutcome {
  enum class Status {
    kContactFailed,     // no server address, or an answer without bases
    kRetrieveFailed,    // the version list could not be read
    kListRefused,       // the version list's signature failed (refusal says why)
    kUpdaterOutOfDate,  // the server has a newer updater; nothing marked
    kChecked,
  };
  Status status = Status::kContactFailed;
  std::vector<UpdateFileRecord> records;  // file names, versions, marks
  std::vector<bool> listed;               // per record: on the server
  bool needs_updating = false;
  std::string plain_base;       // where plain files are downloaded from
  std::string compressed_base;  // where containers are downloaded from
  std::string notice;
  double server_updater_version = 0.0;
  // The version list as received, signature line included, once it was
  // verified: the installation checks the downloads against it again.
  std::string signed_list;
  std::string refusal;  // why the list was refused (kListRefused)
};

// The base address of the version list from a server lookup: with a path,
// "http://host/path/" (":port" unless 80); without one, the text itself.
// `secure`: the address list was read over HTTPS, so the site offers it
// and the version list is read the same way ("https://host/path/").
std::string VersionListBase(const std::string& server_text, uint32_t port,
                            const std::string& object_path, bool secure = false);

// Runs the check. Never throws.
CheckOutcome RunUpdateCheck(const CheckRequest& request, CheckSink& sink);

// The address a record is downloaded from (and its size asked at): the
// compressed base + download name when it has one, else the plain base +
// its file name.
std::string DownloadAddress(const UpdateFileRecord& record, const std::string& plain_base,
                            const std::string& compressed_base);

}  // namespace quarry

#endif  // QUARRY_UPDATER_UPDATE_CHECK_H_
