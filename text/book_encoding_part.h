// The "编码" menu: the encoding a book is read in, chosen per book and kept in Config.ini.
#pragma once

#include <optional>
#include <string>

#include <QString>

#include "text/book_encoding.h"
#include "text/view_part.h"

namespace varnelo {

class CVarneloView;

// The encoding the user chose for the book at `path`, if any.
std::optional<BookEncoding> ChosenEncoding(CVarneloView& view, const std::string& path);
// A book saved under a new name keeps the choice its old name had.
void CarryEncodingChoice(CVarneloView& view, const std::string& from, const std::string& to);
// Why an edit cannot be saved in the book's encoding, naming the character.
QString RefusedCharacterMessage(BookEncoding encoding, char32_t character);

// The menu acts on the book on screen, or on the book just refused as Unicode, which it
// can open.
class EncodingPart : public ViewPart {
 public:
  explicit EncodingPart(CVarneloView& view);

 private:
  const std::string& Target() const;
  void Choose(std::optional<BookEncoding> encoding);

  CVarneloView& view_;
};

}  // namespace varnelo
