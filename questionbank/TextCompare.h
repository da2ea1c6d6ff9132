#pragma once

#include <string>
#include <string_view>

// Text comparison after Jet's General sort order, as far as the question bank needs it: Latin
// letters (ASCII, Latin-1, Latin Extended-A/B and Latin Extended Additional) compare without
// regard to case; everything else, CJK included, compares by code point. Ordering puts accented
// letters next to their base letter (e < é < f); equality still tells them apart (e != é).
namespace questionbank {

// The key under which texts that compare equal meet: UTF-8 with every Latin letter folded to
// lower case. Bytes that are not valid UTF-8 keep their own distinct place.
std::string FoldText(std::string_view utf8);

bool TextEqual(std::string_view a, std::string_view b);

// Negative, zero or positive as `a` sorts before, together with or after `b`.
int CompareText(std::string_view a, std::string_view b);

// A key whose plain (byte-wise, then tie-broken) comparison gives CompareText's order; built once
// per value so that sorting many rows does not decode the same text again and again.
struct TextSortKey {
    std::string primary; // letters reduced to their lower-case base letter
    std::string folded; // FoldText
    friend auto operator<=>(const TextSortKey&, const TextSortKey&) = default;
};
TextSortKey MakeTextSortKey(std::string_view utf8);

} // namespace questionbank
