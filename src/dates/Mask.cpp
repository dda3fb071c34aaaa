#include "dates/Mask.h"

#include <algorithm>

#include "base/Calendar.h"
#include "base/Constants.h"
#include "dates/DateValue.h"
#include "platform/TextCase.h"

namespace {

void AppendTwoDigits(Text& out, int64_t value) {
  out.push_back(static_cast<char16_t>(u'0' + value / 10 % 10));
  out.push_back(static_cast<char16_t>(u'0' + value % 10));
}

const Text kDefaultMask = u"yyyy-mm-dd";
constexpr TextView kTokens[] = {u"yyyy", u"yy", u"mm", u"dd", u"hh", u"ii", u"ss"};

// Puts "%" in front of the first occurrence of `token` (A-Z case ignored).
void MarkFirst(Text& mask, TextView token) {
  for (size_t i = 0; i + token.size() <= mask.size(); ++i) {
    if (AsciiLowerAt(mask, i, token)) {
      mask.insert(i, u"%");
      return;
    }
  }
}

}  // namespace

Text ValidateMask(const Text& mask) {
  for (TextView token : kTokens) {
    if (mask.find(token) != Text::npos) return mask;
  }
  return kDefaultMask;
}

Text TranslateMask(const Text& mask) {
  Text result = mask;
  MarkFirst(result, u"yyyy");
  if (result.find(u'%') == Text::npos) MarkFirst(result, u"yy");
  for (TextView token : {u"mm", u"dd", u"hh", u"ii", u"ss"}) MarkFirst(result, token);
  return result;
}

void RenderDateTo(TextView mask, int64_t date, Text& out) { RenderPieces(MaskPieces(mask), date, out); }

namespace {

// The first token that stays text in the rendering mask `mask`: one that
// no "%" marks, found where RenderDate finds tokens; "" when none does.
Text LiteralToken(TextView mask) {
  for (size_t i = 0; i < mask.size();) {
    const bool marked = mask[i] == u'%';
    const size_t at = marked ? i + 1 : i;
    size_t length = 0;
    for (TextView token : kTokens) {
      if (at < mask.size() && AsciiLowerAt(mask, at, token)) {
        length = token.size();
        break;
      }
    }
    if (length > 0 && !marked) return Text(mask.substr(at, length));
    i = at + (length > 0 ? length : 1);
  }
  return Text();
}

}  // namespace

std::vector<Text> MaskWarnings(const Text& given) {
  const Text lowered = Platform::ToLower(given);
  const Text typed = ValidateMask(lowered);
  const Text mask = TranslateMask(typed);
  const Text quoted = u"the mask '" + given + u"'";
  std::vector<Text> warnings;
  if (typed != lowered) {
    warnings.push_back(quoted + u" holds no date token; " + kDefaultMask + u" is used");
    return warnings;
  }
  // Two dates that differ in every field render alike only through a mask
  // that renders none of them.
  const Text rendered = RenderDate(mask, MakeDate(2001, 2, 3, 4, 5, 6));
  if (rendered == RenderDate(mask, MakeDate(2012, 11, 22, 13, 14, 15))) {
    warnings.push_back(quoted + u" renders no date: every file gives the text '" + rendered + u"'");
  }
  const Text twice = warnings.empty() ? LiteralToken(mask) : Text();
  if (!twice.empty()) {
    warnings.push_back(quoted + u" holds '" + twice +
                       u"' again where it is kept as text: only the first of a "
                       u"token counts" +
                       (twice == u"mm" ? u" (minutes are ii)" : u""));
  }
  return warnings;
}

Text RenderDate(TextView mask, int64_t date) {
  Text out;
  RenderDateTo(mask, date, out);
  return out;
}

std::vector<MaskPiece> MaskPieces(TextView mask) {
  struct Token {
    std::u16string_view name;
    int field;
  };
  static constexpr Token kTokens[] = {{u"yyyy", 0}, {u"yy", 0}, {u"mm", 1}, {u"dd", 2},
                                      {u"hh", 3},   {u"ii", 4}, {u"ss", 5}};
  std::vector<MaskPiece> pieces;
  for (size_t i = 0; i < mask.size(); ++i) {
    MaskPiece piece{-1, 0, false, mask[i], i + 1};
    if (mask[i] == u'%' && i + 1 < mask.size()) {
      for (const Token& token : kTokens) {
        if (!AsciiLowerAt(mask, i + 1, token.name)) continue;
        i += token.name.size();
        piece = MaskPiece{token.field, token.name.size() == 4 ? 4u : 2u, token.name == u"yy", 0, i + 1};
        break;
      }
    }
    pieces.push_back(piece);
  }
  return pieces;
}

TimeUnit FinestUnit(const std::vector<MaskPiece>& pieces) {
  int finest = 0;
  for (const MaskPiece& piece : pieces) finest = std::max(finest, piece.field);
  return static_cast<TimeUnit>(5 - finest);  // the year is field 0, the second field 5
}

bool TextsInDateOrder(const std::vector<MaskPiece>& pieces) {
  int next = 0;  // the field that must come next
  for (const MaskPiece& piece : pieces) {
    if (piece.field < 0) continue;
    if (piece.field != next || piece.shortYear) return false;
    ++next;
  }
  return next > 0;
}

void RenderPieces(const std::vector<MaskPiece>& pieces, int64_t date, Text& out) {
  const Calendar::Fields f = date == Dates::None ? Calendar::Fields{} : Calendar::FieldsFromSeconds(date);
  const int64_t values[] = {f.year, f.month, f.day, f.hour, f.minute, f.second};
  out.clear();
  for (const MaskPiece& piece : pieces) {
    if (piece.field < 0) {
      out.push_back(piece.literal);
    } else if (piece.digits == 4) {
      AppendTwoDigits(out, values[0] / 100);
      AppendTwoDigits(out, values[0] % 100);
    } else {
      AppendTwoDigits(out, values[piece.field] % 100);
    }
  }
}
