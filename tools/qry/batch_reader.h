// Reading several sources at once while handing the results on in the
// sources' order, so that what qry prints and the files it names do not
// depend on which server answered first.

#ifndef QUARRY_TOOLS_QRY_BATCH_READER_H_
#define QUARRY_TOOLS_QRY_BATCH_READER_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "engine/extracted_table.h"

namespace quarry::qry {

// One source, read and parsed.
struct LoadedSource {
  bool ok = false;
  std::string error;                  // one line, when !ok
  std::vector<std::string> warnings;  // one line each; also when ok
  TableList tables;
};

// Reads one source; called on worker threads, several at once.
using LoadSourceFunction = std::function<LoadedSource(const std::string& source)>;
// Takes one result; called on the calling thread, in the sources' order.
using TakeSourceFunction = std::function<void(size_t index, LoadedSource& loaded)>;
// Told how many sources have been read so far, on the calling thread,
// whenever that count grows. May be empty.
using SourceCountFunction = std::function<void(size_t done)>;

// Loads `sources` on up to `jobs` worker threads (at least one) and hands
// each result to `take` in order. A worker starts a source only while
// fewer than 2 x `jobs` results wait to be taken, so memory stays bounded
// by a few pages whatever the number of sources and however slow the first
// one is. Returns when every source has been taken; each source's own
// time limits bound the wait.
void LoadInOrder(const std::vector<std::string>& sources, int jobs,
                 const LoadSourceFunction& load, const TakeSourceFunction& take,
                 const SourceCountFunction& count = {});

}  // namespace quarry::qry

#endif  // QUARRY_TOOLS_QRY_BATCH_READER_H_
