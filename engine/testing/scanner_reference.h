// Straightforward forms of the table scanner, as its operations are
// defined: repeated whole-text searches and replacements, strings rebuilt
// on every edit. Quadratic and slow, meant only for tests, which check that
// the scanner gives exactly their results.

#ifndef QUARRY_ENGINE_TESTING_SCANNER_REFERENCE_H_
#define QUARRY_ENGINE_TESTING_SCANNER_REFERENCE_H_

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "engine/entity_decoder.h"

namespace quarry::testing {

inline void RefReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  size_t done = 0;
  for (size_t hit; (hit = text.find(from, done)) != std::string::npos; done = hit + from.size()) {
    out += text.substr(done, hit - done) + to;
  }
  text = out + text.substr(done);
}

inline std::string Cased(std::string text, bool upper) {
  for (char& c : text) c = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
  return text;
}

inline int64_t RefFind(const std::string& text, const std::string& pattern, int64_t start) {
  if (start > static_cast<int64_t>(text.size())) return -1;
  const size_t lower = text.find(Cased(pattern, false), static_cast<size_t>(std::max<int64_t>(start, 0)));
  const size_t upper = text.find(Cased(pattern, true), static_cast<size_t>(std::max<int64_t>(start, 0)));
  const size_t hit = std::min(lower, upper);
  return hit == std::string::npos ? -1 : static_cast<int64_t>(hit);
}

inline std::string RefRemoveTags(std::string text) {
  while (text.find('<') != std::string::npos) {
    const size_t lt = text.find('<');
    const size_t gt = text.find('>');
    if (gt == std::string::npos) {
      RefReplaceAll(text, "<", "");
    } else if (gt < lt) {
      RefReplaceAll(text, text.substr(0, gt + 1), "");
    } else {
      const std::string tag = text.substr(lt + 1, gt - lt);
      RefReplaceAll(text, "<" + tag, " ");
      RefReplaceAll(text, "</" + tag, " ");
    }
  }
  return text;
}

inline std::string RefCellHtmlToText(std::string text) {
  DecodeHtmlEntities(text);
  RefReplaceAll(text, "\xE2\x80\x99", "'");
  RefReplaceAll(text, "</p><p>", "\r\n\r\n");
  RefReplaceAll(text, "</p>", "\r\n");
  text = RefRemoveTags(text);
  while (text.find("\r\n ") != std::string::npos) RefReplaceAll(text, "\r\n ", "\r\n");
  return text;
}

inline std::string RefParseRow(const std::string& row, int* count) {
  *count = 0;
  const int64_t a = RefFind(row, "<th", 0), b = RefFind(row, "<td", 0);
  int64_t start = b;
  std::string close = "/td>";
  if (a != -1 && a < b) {
    start = a;
    close = "/th>";
  }
  if (start == -1) start = RefFind(row, "<th", 0);
  if (start == -1) return "";
  int64_t end = RefFind(row, close, start);
  if (end == -1) end = RefFind(row, "/th>", start);
  if (end == -1) return "";
  int64_t n = RefFind(row, "<td", start + 2);
  if (n != -1 && n < end) end = n - 4;
  int64_t row_end = RefFind(row, "/tr>", end);
  if (row_end == -1) row_end = static_cast<int64_t>(row.size()) - 1;
  std::string line;
  while (start != -1 && end != -1 && start != end && end < row_end) {
    ++*count;
    std::string cell = RefCellHtmlToText(row.substr(start, end - start + 4));
    const size_t first = cell.find_first_not_of(" \t\r\n\v\f");
    cell = first == std::string::npos
               ? ""
               : cell.substr(first, cell.find_last_not_of(" \t\r\n\v\f") - first + 1);
    if (cell.find(',') != std::string::npos) cell = '"' + cell + '"';
    line += cell + ",";
    const int64_t previous = start;
    start = RefFind(row, "<td", end);
    if (start == -1) start = RefFind(row, "<th", end);
    if (start == -1 || start == previous) break;
    end = RefFind(row, "/td>", start);
    if (end == -1) end = RefFind(row, "/th>", start);
    n = RefFind(row, "<td", start + 2);
    if (n != -1 && n < end) end = n - 4;
  }
  if (!line.empty() && line.back() == ',') line.pop_back();
  return line;
}

inline std::string RefParseTable(const std::string& html, bool only_full, bool pad, bool skip_first) {
  std::string data;
  if (pad) only_full = false;
  int64_t rs = RefFind(html, "<tr", 0);
  if (rs == -1) return data;
  int64_t re = RefFind(html, "/tr>", rs);
  if (re == -1) return data;
  int64_t end = RefFind(html, "/table>", re);
  if (end == -1) end = static_cast<int64_t>(html.size()) - 1;
  int widest = 0, count = 0;
  uint64_t rows = 0, cells = 0;
  if (only_full || pad) {
    while (re != -1 && re < end) {
      RefParseRow(html.substr(rs, re - rs + 4), &count);
      widest = std::max(widest, count);
      ++rows;
      cells += static_cast<uint64_t>(count);
      if ((rs = RefFind(html, "<tr", re)) == -1) break;
      re = RefFind(html, "/tr>", rs);
    }
    rs = RefFind(html, "<tr", 0);
    re = RefFind(html, "/tr>", rs);
  }
  // Padding beyond the table's own size goes to the first line only.
  const bool pad_every_row = rows * static_cast<uint64_t>(widest) - cells <= html.size();
  if (skip_first) {
    rs = RefFind(html, "<tr", re);
    re = rs != -1 ? RefFind(html, "/tr>", rs) : -1;
  }
  while (rs != -1 && re != -1 && re < end) {
    std::string row = html.substr(rs, re - rs + 4);
    RefReplaceAll(row, "\r\n", " ");
    RefReplaceAll(row, "\n", " ");
    std::string line = RefParseRow(row, &count);
    if (!line.empty()) {
      if (pad && count < widest) {
        const bool padded = pad_every_row || data.empty();
        data += line + std::string(padded ? widest - count : 0, ',') + "\r\n";
      } else if (!only_full || count == widest) {
        data += line + "\r\n";
      }
    }
    if ((rs = RefFind(html, "<tr", re)) == -1) break;
    re = RefFind(html, "/tr>", rs);
  }
  return data;
}

inline int RefFlatten(std::string& copy, std::string& twin) {
  size_t p = twin.find("<table");
  if (p == std::string::npos) return 0;
  size_t e = twin.find("/table>", p);
  if (e == std::string::npos) return 0;
  int moved = 0;
  while (e != std::string::npos) {
    size_t next = e;
    const size_t q = twin.find("<table", p + 1);
    if (q != std::string::npos && q < e) {
      const size_t s = twin.rfind("<table", e);
      if (s != std::string::npos && s > p) {
        const size_t n = e - s + 7;
        const std::string moved_copy = copy.substr(s, n), moved_twin = twin.substr(s, n);
        copy.erase(s, n);
        twin.erase(s, n);
        copy.insert(p, moved_copy);
        twin.insert(p, moved_twin);
        ++moved;
      }
      next = p + 1;
    }
    if ((p = twin.find("<table", next)) == std::string::npos) break;
    e = twin.find("/table>", p);
  }
  return moved;
}

}  // namespace quarry::testing

#endif  // QUARRY_ENGINE_TESTING_SCANNER_REFERENCE_H_
