#include "bench/page_generator.h"

#include <random>
#include <string_view>

namespace quarry::bench {

namespace {

constexpr std::string_view kWords[] = {
    "harbour", "cycle",  "wheel",   "brake", "saddle", "chain",  "gear",
    "spoke",   "frame",  "pedal",   "tyre",  "valve",  "lamp",   "basket",
    "helmet",  "lock",   "pump",    "tube",  "fork",   "hub",    "crank",
};

constexpr std::string_view kEntities[] = {
    "&amp;",  "&nbsp;", "&#233;", "&pound;", "&quot;", "&copy;",
    "%20",    "&lt;",   "&gt;",   "&#39;",   "&deg;",  "&eacute;",
};

class Writer {
 public:
  explicit Writer(uint32_t seed) : rng_(seed) {}

  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint32_t>(n)); }

  std::string_view Word() { return kWords[Pick(std::size(kWords))]; }

  void Words(std::string& out, size_t bytes) {
    const size_t stop = out.size() + bytes;
    while (out.size() < stop) {
      if (Pick(4) == 0) {
        out += kEntities[Pick(std::size(kEntities))];
      } else {
        out += Word();
      }
      out += ' ';
    }
  }

  // One cell's content; the mix decides how much work the cell takes.
  void CellText(std::string& out) {
    switch (Pick(10)) {
      case 0:  // a number with a thousands separator: quoted in the data
        out += std::to_string(1 + Pick(99));
        out += ',';
        out += std::to_string(100 + Pick(900));
        out += ".50";
        break;
      case 1:
        out += "<a href=\"/item/" + std::to_string(Pick(100000)) + "\">";
        out += Word();
        out += "</a>";
        break;
      case 2:
        out += "Fish &amp; chips&nbsp;&pound;4 Caf&#233; &quot;special&quot;";
        break;
      case 3:  // a long cell with markup inside
        out += "<span class=\"note\">";
        Words(out, 200 + Pick(300));
        out += "<br>";
        Words(out, 50);
        out += "</span>";
        break;
      case 4:
        out += "<b>";
        out += Word();
        out += "</b> <i>";
        out += Word();
        out += "</i>";
        break;
      default:
        out += Word();
        out += ' ';
        out += std::to_string(Pick(1000));
        break;
    }
  }

  void Row(std::string& out, int columns, bool upper, bool header) {
    const char* tr = upper ? "TR" : "tr";
    const char* cell = header ? (upper ? "TH" : "th") : (upper ? "TD" : "td");
    out += "  <";
    out += tr;
    out += ">";
    for (int c = 0; c < columns; ++c) {
      out += "<";
      out += cell;
      out += header ? ">" : " class=\"c\">";
      if (header) {
        out += Word();
      } else {
        CellText(out);
      }
      out += "</";
      out += cell;
      out += ">";
    }
    out += "</";
    out += tr;
    out += ">\n";
  }

  // A flat table of about `bytes` bytes; `inner` (another table) goes into
  // a cell of the first row when given.
  void Table(std::string& out, size_t bytes, const std::string* inner) {
    const bool upper = Pick(8) == 0;
    const int columns = 2 + Pick(7);
    const size_t start = out.size();
    const size_t inner_size = inner != nullptr ? inner->size() : 0;
    out += upper ? "<TABLE" : "<table";
    out += " id=\"t" + std::to_string(serial_++) +
           "\" width=\"100%\" border=\"1\" cellpadding=\"2\">\n";
    Row(out, columns, upper, true);
    if (inner != nullptr) {
      out += upper ? "  <TR><TD>" : "  <tr><td>";
      out += *inner;
      out += upper ? "</TD><TD>beside</TD></TR>\n" : "</td><td>beside</td></tr>\n";
    }
    do {
      Row(out, columns, upper, false);
    } while (out.size() - start - inner_size < bytes);
    out += upper ? "</TABLE>\n" : "</table>\n";
  }

  void Filler(std::string& out, size_t bytes) {
    out += "<div class=\"text\"><p>";
    Words(out, bytes);
    out += "</p></div>\n";
  }

 private:
  std::mt19937 rng_;
  int serial_ = 0;
};

}  // namespace

std::string GeneratePage(size_t target_bytes, int table_count, uint32_t seed) {
  Writer w(seed);
  std::string page;
  page.reserve(target_bytes + target_bytes / 8);
  page +=
      "<!DOCTYPE html>\n<html><head><title>Generated</title></head>\n<body>\n";
  // A tenth of the page is text between the tables.
  const size_t per_table =
      table_count > 0 ? target_bytes * 9 / 10 / table_count : 0;
  const size_t filler = table_count > 0 ? target_bytes / 10 / table_count : 0;
  int made = 0;
  int group = 0;
  while (made < table_count) {
    if (group++ % 10 == 9 && table_count - made >= 3) {
      std::string inner, middle;
      w.Table(inner, per_table, nullptr);
      w.Table(middle, per_table, &inner);
      w.Table(page, per_table, &middle);
      made += 3;
    } else {
      w.Table(page, per_table, nullptr);
      made += 1;
    }
    w.Filler(page, filler);
  }
  while (page.size() < target_bytes) w.Filler(page, 1024);
  page += "</body></html>\n";
  return page;
}

std::string GenerateDataText(int rows, int columns, uint32_t seed) {
  Writer w(seed);
  std::string data;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (c > 0) data += ',';
      if (w.Pick(6) == 0) {
        data += '"';
        data += std::to_string(w.Pick(100));
        data += ',';
        data += std::to_string(w.Pick(1000));
        data += '"';
      } else {
        data += w.Word();
        data += ' ';
        data += std::to_string(w.Pick(10000));
      }
    }
    data += "\r\n";
  }
  return data;
}

std::string GenerateEntityText(size_t bytes, uint32_t seed) {
  Writer w(seed);
  std::string text;
  w.Words(text, bytes);
  return text;
}

}  // namespace quarry::bench
