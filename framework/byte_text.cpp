#include "framework/byte_text.h"

#include <QByteArray>
#include <QStringDecoder>

namespace quarry {

namespace {

// Decodes `bytes` as UTF-8; false when any of it is malformed.
bool DecodeUtf8(std::string_view bytes, QString* text) {
  // Stateless: a sequence cut off at the end is an error, not something
  // to wait for. The byte-order mark is kept so nothing shown goes missing.
  QStringDecoder decoder(QStringConverter::Utf8,
                         QStringConverter::Flag::Stateless |
                             QStringConverter::Flag::ConvertInitialBom);
  QString decoded = decoder.decode(
      QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (decoder.hasError()) return false;
  if (text != nullptr) *text = std::move(decoded);
  return true;
}

}  // namespace

QString TextFromBytes(std::string_view bytes) {
  QString text;
  if (DecodeUtf8(bytes, &text)) return text;
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string BytesFromText(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace quarry
