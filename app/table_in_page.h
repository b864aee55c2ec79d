// What the Table Results view tells the Web Browser view when a table is to
// be pointed at in the page (WM_SHOW_TABLE_IN_PAGE): which page the tables
// came from, and how to find the table's element there.

#ifndef QUARRY_APP_TABLE_IN_PAGE_H_
#define QUARRY_APP_TABLE_IN_PAGE_H_

#include <QString>
#include <cstdint>
#include <string>

#include "engine/table_positions.h"

namespace quarry {

struct TableInPage {
  bool clear = false;      // take any mark off; the rest is unused
  std::string address;     // the page the tables were parsed from
  bool parsed_as_shown = false;  // read from the browser, not downloaded
  QString name;            // the table's name, for what the user is told
  int32_t position = -1;   // ExtractedTable::page_position
  TableTextKey key;        // TableKey of its source
};

// Whether two addresses name the same page: the same once read as a user
// would type them, without a fragment ("#part") or a trailing slash.
bool SamePage(const QString& a, const QString& b);

}  // namespace quarry

#endif  // QUARRY_APP_TABLE_IN_PAGE_H_
