// The escapes captions carry in the controls: the two characters "\n"
// (backslash, n) and "\t" written into a caption in a dialog editor, and
// the tool tip a caption carries after its first "\n". Text is UTF-8.

#ifndef QUARRY_CONTROLS_COMMON_CAPTION_TEXT_H_
#define QUARRY_CONTROLS_COMMON_CAPTION_TEXT_H_

#include <string>
#include <string_view>

namespace quarry::controls {

struct SplitCaption {
  std::string caption;
  std::string tool_tip;

  bool operator==(const SplitCaption&) const = default;
};

// The button's rule: a caption holding "\\n" (backslash, backslash, n)
// shows each as a line break and has no tool tip; otherwise the text after
// the first "\n" is the tool tip and the text before it the caption.
SplitCaption SplitButtonCaption(std::string_view text);

// The check box's rule: the tool tip follows the first "\n" that is not
// the end of a "\\n"; in the caption every "\\n" becomes a line break.
// Remaining escapes are left for ExpandEscapes at drawing time.
SplitCaption SplitCheckCaption(std::string_view text);

// Each "\n" becomes a line break and each "\t" a tab; *has_tab (optional)
// tells whether a tab came out, which switches on tab expansion.
std::string ExpandEscapes(std::string_view text, bool* has_tab = nullptr);

// The text with its mnemonic marks removed: "&Go" is "Go", "&&" one "&".
std::string WithoutMnemonics(std::string_view text);

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_CAPTION_TEXT_H_
