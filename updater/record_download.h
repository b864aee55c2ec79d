// Downloading one record's new file into the download folder, as every
// download run does for each record marked as needing an update:
//
//   1. With a download name the container is fetched from the compressed
//      base into the download folder under that name, else the plain file
//      from the plain base under the record's file name; a file of that
//      name left from before is deleted first.
//   2. A container that fails to arrive is given up for the plain file.
//   3. A container that arrived is expanded into the download folder under
//      its stored name (which must be the record's file name), an older
//      plain file of that name is deleted first, and the container is
//      deleted afterwards; one that does not expand (a stored copy, a
//      damaged stream, another name) is given up for the plain file too.
//
// The file is not checked against its digest here: the installation does
// that against the signed version list, just before it changes anything,
// so a file that changed while it waited is refused as well.
//
// Plain C++; runs on a pool worker, touching only its own record. Every
// transfer is bounded by its stall limits and ends early when `cancel`
// turns true.

#ifndef QUARRY_UPDATER_RECORD_DOWNLOAD_H_
#define QUARRY_UPDATER_RECORD_DOWNLOAD_H_

#include <atomic>
#include <string>

#include "updater/update_file_record.h"

namespace quarry {

struct DownloadBases {
  std::string plain;       // where plain files are fetched from
  std::string compressed;  // where containers are fetched from
};

struct RecordDownload {
  UpdateFileRecord record;  // download_result set; download name cleared
                            // once the container was dealt with
  std::string reason;       // why it failed (for a log), when it did
};

// `download_folder` ends with "/". A record not marked as needing an
// update is returned unchanged with download_result 0.
RecordDownload DownloadRecord(UpdateFileRecord record, const DownloadBases& bases,
                              const std::string& download_folder,
                              const std::atomic<bool>* cancel = nullptr);

}  // namespace quarry

#endif  // QUARRY_UPDATER_RECORD_DOWNLOAD_H_
