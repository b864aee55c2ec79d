// Where the Help menu and the help keys lead: the HTML help pages that ship
// with the program, the maker's web pages and the maker's mailboxes.
//
// The mailboxes are deployment values like the web site: strings under
// "Software\\Zandor Tech\\Quarry\\Services" with ".example" defaults.

#ifndef QUARRY_APP_HELP_LINKS_H_
#define QUARRY_APP_HELP_LINKS_H_

#include <cstdint>
#include <string>

#include "platform/install_layout.h"

namespace quarry {

inline constexpr char kSupportMailboxValue[] = "SupportMailbox";
inline constexpr char kSuggestionMailboxValue[] = "SuggestionMailbox";
inline constexpr char kDefaultSupportMailbox[] = "support@quarry.example";
inline constexpr char kDefaultSuggestionMailbox[] = "suggestions@quarry.example";

// The maker's mailboxes for support questions and suggestions (read from
// the store the web settings use).
std::string SupportMailbox();
std::string SuggestionMailbox();

// What a support mail is about.
enum class SupportMode : int { kSupport = 0, kSuggestion = 1 };

// The mailto address that opens the user's mail program on a new message
// to the maker's mailbox for `mode`.
std::string SupportMailtoAddress(SupportMode mode);

// $QUARRY_HELP_DIR names the folder of the HTML help pages in place of the
// installation's (see platform/install_layout.h).
using platform::kHelpFolderVariable;

// The folder that holds the help pages ("index.html" and the rest), with no
// trailing "/": $QUARRY_HELP_DIR, else the installation's help folder (the
// source tree's pages for a program run from its build tree). Empty when
// that folder holds no "index.html".
std::string HelpFolder();

// Help context numbers: commands map to 0x10000 + id, the favourites'
// commands (36000 to 38000) all to one topic.
inline constexpr uint32_t kHelpContextFavorites = 98306;
inline constexpr int kFirstFavoriteCommand = 36000;
inline constexpr int kLastFavoriteCommand = 38000;
uint32_t HelpContextForCommand(int command_id);

// The file:// address of the help index, with "#<context>" appended when
// `context` is not 0 (the pages carry the context numbers as anchors).
// Empty when no help folder is found.
std::string HelpPageAddress(uint32_t context = 0);

}  // namespace quarry

#endif  // QUARRY_APP_HELP_LINKS_H_
