#include "app/page_marker.h"

#include <QUrl>
#include <QVariantMap>

#include "app/table_in_page.h"

namespace quarry {

namespace {

// Shared by both scripts: takes off the outline this world put on, giving
// the element back its own outline.
constexpr char kUnmark[] = R"(
  var old = window.__quarryMark;
  if (old && old.element) {
    old.element.style.outline = old.outline;
    old.element.style.outlineOffset = old.offset;
  }
  window.__quarryMark = null;
)";

// %1: position, %2: key (letters and digits only), %3: whether the key is
// the table's whole text, %4: the longest key.
constexpr char kMark[] = R"(
(function (position, key, complete, longest) {
  %5
  function textKey(table) {
    var text = '';
    var walker = document.createTreeWalker(table, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, {
      acceptNode: function (node) {
        if (node.nodeType === 1 && (node.localName === 'table' || node.localName === 'caption')) {
          return NodeFilter.FILTER_REJECT;  // the element and all inside it
        }
        return NodeFilter.FILTER_ACCEPT;
      }
    });
    for (var node = walker.nextNode(); node && text.length <= longest; node = walker.nextNode()) {
      if (node.nodeType === 3) text += node.data.replace(/[^A-Za-z0-9]/g, '');
    }
    return text.slice(0, longest + 1);
  }
  function matches(table) {
    var text = textKey(table);
    return complete ? text === key : text.slice(0, key.length) === key;
  }
  var tables = document.getElementsByTagName('table');
  var chosen = -1, byPosition = false;
  if (position >= 0 && position < tables.length && matches(tables[position])) {
    chosen = position;
    byPosition = true;
  } else {
    for (var i = 0; i < tables.length; ++i) {
      if (!matches(tables[i])) continue;
      if (chosen >= 0) { chosen = -1; break; }  // two alike: neither is certain
      chosen = i;
    }
  }
  if (chosen < 0) return {marked: false, tables: tables.length};
  var element = tables[chosen];
  window.__quarryMark = {element: element, outline: element.style.outline,
                         offset: element.style.outlineOffset};
  element.style.outline = '3px solid #d9480f';
  element.style.outlineOffset = '2px';
  element.scrollIntoView({block: 'center', inline: 'nearest'});
  return {marked: true, byPosition: byPosition, index: chosen, tables: tables.length};
})(%1, '%2', %3, %4);
)";

}  // namespace

QString MarkTableScript(int position, const TableTextKey& key) {
  // The key goes into a string literal: keep to what cannot end it.
  QString letters;
  for (char c : key.key) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      letters += QLatin1Char(c);
    }
  }
  return QString::fromLatin1(kMark)
      .arg(position)
      .arg(letters)
      .arg(key.complete ? QStringLiteral("true") : QStringLiteral("false"))
      .arg(static_cast<int>(kTableKeyLength))
      .arg(QString::fromLatin1(kUnmark));
}

QString ClearMarkScript() {
  return QStringLiteral("(function () {") + QString::fromLatin1(kUnmark) +
         QStringLiteral("})();");
}

MarkResult ReadMarkResult(const QVariant& result) {
  MarkResult read;
  const QVariantMap map = result.toMap();
  read.marked = map.value(QStringLiteral("marked")).toBool();
  read.tables = map.value(QStringLiteral("tables")).toInt();
  if (read.marked) {
    read.by_position = map.value(QStringLiteral("byPosition")).toBool();
    read.index = map.value(QStringLiteral("index"), -1).toInt();
  }
  return read;
}

bool SamePage(const QString& a, const QString& b) {
  const auto plain = [](const QString& address) {
    return QUrl::fromUserInput(address.trimmed())
        .adjusted(QUrl::RemoveFragment | QUrl::StripTrailingSlash | QUrl::NormalizePathSegments);
  };
  const QUrl first = plain(a);
  return first.isValid() && !first.isEmpty() && first == plain(b);
}

}  // namespace quarry
