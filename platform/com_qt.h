// Font objects of the component layer as Qt fonts, for hosts and
// controls alike.

#ifndef QUARRY_PLATFORM_COM_QT_H_
#define QUARRY_PLATFORM_COM_QT_H_

#include <QFont>

#include "platform/com_variant.h"

namespace quarry::com {

// Face, point size, weight (100-900, as the registry-era numbers),
// italic, underline and strike-out; the character set is kept as given
// in `charset`, Qt fonts having none.
FontDesc FontDescFromQFont(const QFont& font, int charset = 0);
QFont QFontFromDesc(const FontDesc& desc);

}  // namespace quarry::com

#endif  // QUARRY_PLATFORM_COM_QT_H_
