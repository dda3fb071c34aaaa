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

// A piece of a rendering mask as RenderDate takes it: a token it fills (a
// "%" in front), a token it keeps as text, or one other character.
struct Piece {
  TextView text;  // the token or the character, without its "%"
  bool token = false;
  bool filled = false;
};

// The length of the token at `at` of `mask`, or 0.
size_t TokenAt(TextView mask, size_t at) {
  for (TextView token : kTokens) {
    if (at < mask.size() && AsciiLowerAt(mask, at, token)) return token.size();
  }
  return 0;
}

// The pieces of the rendering mask `mask`, in order; a "%" that no token
// follows is a character of its own.
std::vector<Piece> PiecesOf(TextView mask) {
  std::vector<Piece> pieces;
  for (size_t i = 0; i < mask.size();) {
    const size_t marked = mask[i] == u'%' ? TokenAt(mask, i + 1) : 0;
    const size_t kept = marked > 0 ? 0 : TokenAt(mask, i);
    if (marked > 0) {
      pieces.push_back({mask.substr(i + 1, marked), true, true});
      i += 1 + marked;
    } else {
      const size_t length = kept > 0 ? kept : 1;
      pieces.push_back({mask.substr(i, length), kept > 0, false});
      i += length;
    }
  }
  return pieces;
}

// What a filled token stands for, for the user.
TextView FieldOf(TextView token) {
  if (token.starts_with(u'y')) return u"the year";
  if (token == u"mm") return u"the month";
  if (token == u"dd") return u"the day";
  if (token == u"hh") return u"the hour";
  return token == u"ii" ? u"the minute" : u"the second";
}

// Whether `piece` belongs to a word: a token, a letter, or any unit beyond
// ASCII (letters of other scripts).
bool InWord(const Piece& piece) {
  return piece.token || IsAsciiLetter(piece.text[0]) || piece.text[0] >= 0x80;
}

// For each word of `pieces` (a run of letters) that holds a filled token
// and a letter no token accounts for ("summer"), the warning for its first
// filled token: a word made of tokens only ("yyyymmdd") is none.
void WarnOfWords(const std::vector<Piece>& pieces, const Text& quoted, std::vector<Text>& warnings) {
  for (size_t start = 0; start < pieces.size();) {
    size_t end = start;
    while (end < pieces.size() && InWord(pieces[end])) ++end;
    const Piece* filled = nullptr;
    bool loose = false;
    Text word;
    for (size_t i = start; i < end; ++i) {
      if (pieces[i].filled && filled == nullptr) filled = &pieces[i];
      loose = loose || !pieces[i].token;
      word += pieces[i].text;
    }
    if (filled != nullptr && loose) {
      warnings.push_back(u"in " + quoted + u", '" + Text(filled->text) + u"' inside '" + word +
                         u"' is read as " + Text(FieldOf(filled->text)));
    }
    start = end == start ? end + 1 : end;
  }
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
    return warnings;
  }
  const std::vector<Piece> pieces = PiecesOf(mask);
  // The first token kept as text, found where RenderDate finds tokens.
  for (const Piece& piece : pieces) {
    if (!piece.token || piece.filled) continue;
    warnings.push_back(quoted + u" holds '" + Text(piece.text) +
                       u"' again where it is kept as text: only the first of a token counts" +
                       (piece.text == u"mm" ? u" (minutes are ii)" : u""));
    break;
  }
  WarnOfWords(pieces, quoted, warnings);
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
