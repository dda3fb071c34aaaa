// Date masks: what the user types for the fmt switch, checked and made the
// rendering mask, what of it may surprise the user, and dates rendered
// through it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Text.h"
#include "dates/Unit.h"

// Renders `date` (a date value of the calendar, or Dates::None) through
// `mask`: "%" followed by yyyy, yy, mm, dd, hh, ii or ss (any letter case)
// becomes that field; every other character is copied. Dates::None renders
// every field as zeros.
Text RenderDate(TextView mask, int64_t date);

// The user's mask (already lower-cased) or the default when it holds none of
// the tokens yyyy, yy, mm, dd, hh, ii and ss.
Text ValidateMask(const Text& mask);

// The rendering mask: the first occurrence of each token gets a "%" in front
// ("yy" only when the mask holds no "%" yet).
Text TranslateMask(const Text& mask);

// What a user may not expect of the mask `given` (as typed for the fmt
// switch), one warning each, the rendering being as it is: that it holds
// no token and the default is used; that it renders no date at all (a
// typed "%" keeps a lone "yy" text); that a token it holds twice counts
// only the first time ("mm" twice: minutes are "ii"); and that a token
// inside a word is read as its field ("mm" inside "summer"). A typed "%"
// in front of a token is no second token ("%yyyy", "yyyy%mm").
std::vector<Text> MaskWarnings(const Text& given);

// One piece of a rendering mask, read as RenderDate reads it: a token
// (`field` 0 for the year, 1 the month, ... 5 the second) or one literal
// unit. `end` is where the piece ends in the mask.
struct MaskPiece {
  int field = -1;  // -1: a literal
  size_t digits = 0;
  bool shortYear = false;
  char16_t literal = 0;
  size_t end = 0;
};

// The pieces of a rendering mask, in order.
std::vector<MaskPiece> MaskPieces(TextView renderMask);

// The finest unit the pieces show: their finest token's, kYear when they
// show none.
TimeUnit FinestUnit(const std::vector<MaskPiece>& pieces);

// Whether the texts rendered through the pieces sort, code unit by code
// unit, as the dates they show do, each unit of FinestUnit its own text:
// the four-digit year and then, in that order, the month, the day, the
// hour, the minute and the second down to the finest, with any literals
// between them ("yyyy-mm-dd", "yyyymmddhhiiss", not "dd.mm.yyyy" or "yy").
bool TextsInDateOrder(const std::vector<MaskPiece>& pieces);

// RenderDate through the pieces of its mask: the same text, without reading
// the mask again; into `out`, replacing its content.
void RenderPieces(const std::vector<MaskPiece>& pieces, int64_t date, Text& out);

// RenderDate into `out` (replacing its content), reusing its storage.
void RenderDateTo(TextView mask, int64_t date, Text& out);
