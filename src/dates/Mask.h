// Date masks: what the user types for the fmt switch, checked and made the
// rendering mask, what of it may surprise the user, and dates rendered
// through it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Text.h"

// Renders `date` (only its low 32 bits, read as signed) through `mask`: "%"
// followed by yyyy, yy, mm, dd, hh, ii or ss (any letter case) becomes that
// field; every other character is copied. Dates::OutOfRange renders every
// field as zeros.
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

// RenderDate into `out` (replacing its content), reusing its storage.
void RenderDateTo(TextView mask, int64_t date, Text& out);
