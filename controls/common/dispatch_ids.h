// The DISPIDs of the four controls' dispatch interfaces and events: the
// contract between the modules and the hosts that drive them by number.
// They are part of the controls' published interfaces and never change.

#ifndef QUARRY_CONTROLS_COMMON_DISPATCH_IDS_H_
#define QUARRY_CONTROLS_COMMON_DISPATCH_IDS_H_

#include "platform/com_dispatch.h"

namespace quarry::controls {

// _DKsButton ("Color Button Face" and the other dispatch names, or the
// type library's ColorBtnFace and so on).
namespace button_id {
inline constexpr com::DISPID kColorBtnFace = 1;
inline constexpr com::DISPID kColorTextHighlight = 2;
inline constexpr com::DISPID kColorTextShadow = 3;
inline constexpr com::DISPID kAlignment = 4;
inline constexpr com::DISPID kShowTextHighlight = 5;
inline constexpr com::DISPID kShowTextShadow = 6;
inline constexpr com::DISPID kPicture = 7;
inline constexpr com::DISPID kPictureAlignment = 8;
inline constexpr com::DISPID kShowWindow = 9;  // method (nCmdShow) -> previous visibility
inline constexpr com::DISPID kDefaultButton = 10;
inline constexpr com::DISPID kStyle = 11;
inline constexpr com::DISPID kButtonSides = 12;
inline constexpr com::DISPID kTransparent = 13;
// _DKsButtonEvents: Click is the stock DISPID_CLICK.
inline constexpr com::DISPID kRightClickEvent = 1;
}  // namespace button_id

// _DKsCheck. Event: Click (DISPID_CLICK).
namespace check_id {
inline constexpr com::DISPID kCheck = 1;
inline constexpr com::DISPID kColorCheckFace = 2;
inline constexpr com::DISPID kColorTextShadow = 3;
inline constexpr com::DISPID kStyle = 4;
inline constexpr com::DISPID kShowTextShadow = 5;
inline constexpr com::DISPID kColorCheckOffFace = 6;
inline constexpr com::DISPID kType = 7;
inline constexpr com::DISPID kKeepColorsInSync = 8;
inline constexpr com::DISPID kAutoScale = 9;
inline constexpr com::DISPID kTransparent = 10;
inline constexpr com::DISPID kLocked = 11;
}  // namespace check_id

// _DKsStatic. No events; a link click posts kLinkClickedMessage instead.
namespace static_id {
inline constexpr com::DISPID kColorTextShadow = 1;
inline constexpr com::DISPID kShowTextShadow = 2;
inline constexpr com::DISPID kTextAlignment = 3;
inline constexpr com::DISPID kMultiline = 4;
inline constexpr com::DISPID kWindowText = 5;
inline constexpr com::DISPID kLine = 6;
inline constexpr com::DISPID kLinePenWidth = 7;
inline constexpr com::DISPID kWebLink = 8;
inline constexpr com::DISPID kWebAddress = 9;
inline constexpr com::DISPID kShowToolTips = 10;
inline constexpr com::DISPID kToolTipText = 11;
inline constexpr com::DISPID kOpenUrl = 12;      // method
inline constexpr com::DISPID kSetProperty = 13;  // method (type, value)
inline constexpr com::DISPID kBorderStyle = 14;
inline constexpr com::DISPID kOverrideWebLinkForeColor = 15;
inline constexpr com::DISPID kTransparent = 16;
inline constexpr com::DISPID kColorBorder = 17;
inline constexpr com::DISPID kBorderWidth = 18;
}  // namespace static_id

// The message a link label posts to its container after a click: wParam
// names the control, lParam points to its address, which the control
// keeps owning.
inline constexpr uint32_t kLinkClickedMessage = 0x82D0;

// _DKsGroup. No events.
namespace group_id {
inline constexpr com::DISPID kColorBackGround = 1;
inline constexpr com::DISPID kColorBorder = 2;
inline constexpr com::DISPID kColorTextShadow = 3;
inline constexpr com::DISPID kShowTextShadow = 4;
inline constexpr com::DISPID kPicture = 5;
inline constexpr com::DISPID kPictureAlignment = 6;
inline constexpr com::DISPID kGroupStyle = 7;
inline constexpr com::DISPID kBorderLineStyle = 8;
inline constexpr com::DISPID kTransparent = 9;
inline constexpr com::DISPID kColorInnerBackgroundLower = 10;
inline constexpr com::DISPID kColorHeaderBackgroundUpper = 11;
inline constexpr com::DISPID kColorHeaderBackgroundLower = 12;
inline constexpr com::DISPID kColorHeaderSeparator = 13;
inline constexpr com::DISPID kBorderWidth = 14;
inline constexpr com::DISPID kBorderCornerRadius = 15;
inline constexpr com::DISPID kHeaderSeparatorWidth = 16;
inline constexpr com::DISPID kHeaderHeight = 17;
inline constexpr com::DISPID kShowDropShadow = 18;
inline constexpr com::DISPID kColorDropShadow = 19;
inline constexpr com::DISPID kShadowBlurDistance = 20;
inline constexpr com::DISPID kShadowSpreadDistance = 21;
inline constexpr com::DISPID kShadowOpacity = 22;
inline constexpr com::DISPID kShadowInset = 23;
inline constexpr com::DISPID kDropShadowDirection = 24;
}  // namespace group_id

}  // namespace quarry::controls

#endif  // QUARRY_CONTROLS_COMMON_DISPATCH_IDS_H_
