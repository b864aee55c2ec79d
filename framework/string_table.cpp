#include "framework/string_table.h"

#include <algorithm>
#include <iterator>

namespace quarry {

namespace {

struct StringEntry {
  int id;
  const char* text;
};

// In id order for the reader; lookups do not depend on it.
constexpr StringEntry kStrings[] = {
    {101,
     "OLE initialization failed.  Make sure that the OLE libraries are the "
     "correct version."},
    {128, "Quarry"},
    {7000, "Failed to create Auto Updater.\nPlease contact Zandor Tech at"},
    {7003,
     "Process Shell Command failed.\nClearing Shell Command parameters.\nQry "
     "will now exit to prevent crashing.\nPlease restart Qry after Qry "
     "exits."},
    {7004, "Windows sockets initialization failed."},
    {7006, "Update waiting.\nCompleting update."},
    {7007, "Update for Quarry is available\nWould you like to update now?"},
    // Message box buttons and check boxes.
    {9009, "Abort"},
    {9010, "Cancel"},
    {9011, "Continue"},
    {9012, "Don't ask this question again."},
    {9013, "Don't show this message again."},
    {9014, "Help"},
    {9015, "Ignore"},
    {9016, "Ignore all"},
    {9017, "No"},
    {9018, "No to all"},
    {9019, "OK"},
    {9020, "Retry"},
    {9021, "Skip"},
    {9022, "Skip all"},
    {9023, "Yes"},
    {9024, "Yes to all"},
    // Commands: status-bar prompt, then tool tip.
    {32775, "Change how Quarry works and connects\nConfigurations"},
    {32776, "Show the tables found on the page\nTable Results"},
    {32777, "Browse to the page whose tables you want\nWeb Browser"},
    {38009, "Read about the known issues of this version\nCurrent Issues"},
    {38010, "Send a suggestion to Zandor Tech\nMake a Suggestion"},
    {38011, "Read answers to frequently asked questions\nOnline FAQ"},
    {38012, "Visit the Zandor Tech web site\nZandor Tech Online"},
    {38014, "Report a problem to Zandor Tech support\nReport a Bug"},
    {38015, "Look for a newer version of Quarry\nCheck for Updates"},
    {38043, "Show the Quarry window again\nRestore"},
    {57345, "Ready"},
    {57664, "Show the program's version and copyright\nAbout"},
    {57665, "Close Quarry\nExit"},
    {57667, "Open the list of help topics\nHelp Topics"},
    {57669, "Show help for the next button, menu or window clicked\nHelp"},
    {57670, "Show help for the current task\nHelp"},
    {59392, "Show or hide the toolbar\nToggle Toolbar"},
    {59393, "Show or hide the status bar\nToggle Status Bar"},
    {61472, "Reduce the window to an icon\nMinimize"},
    {61488, "Enlarge the window to full size\nMaximize"},
    {61728, "Restore the window to its normal size\nRestore"},
};

const StringEntry* Find(int id) {
  const auto it = std::find_if(std::begin(kStrings), std::end(kStrings),
                               [id](const StringEntry& e) { return e.id == id; });
  return it != std::end(kStrings) ? it : nullptr;
}

}  // namespace

QString StringTable::Get(int id) {
  const StringEntry* e = Find(id);
  return e != nullptr ? QString::fromUtf8(e->text) : QString();
}

bool StringTable::Has(int id) { return Find(id) != nullptr; }

QString StringTable::Prompt(int id) {
  const QString text = Get(id);
  const qsizetype nl = text.indexOf(QLatin1Char('\n'));
  return nl < 0 ? text : text.left(nl);
}

QString StringTable::ToolTip(int id) {
  const QString text = Get(id);
  const qsizetype nl = text.lastIndexOf(QLatin1Char('\n'));
  return nl < 0 ? QString() : text.mid(nl + 1);
}

}  // namespace quarry
